#include "core/notice_text.h"

namespace korven {

std::wstring MissingIniText(const std::wstring& folder) {
    return L"地図の配置を記録した設定ファイル KORVEN.ini が、次のフォルダーにありません。\n\n" + folder +
           L"\n\nZIP ファイルの中から直接起動した可能性があります。ZIP ファイルを右クリックして「すべて展開」を選び、"
           L"展開したフォルダーの中の KORVEN.exe を起動してください。\n\nこのまま起動すると、都道府県は画面の左上に重なって表示されます。";
}

std::wstring UnwritableIniText(const std::wstring& folder) {
    return L"次のフォルダーの設定ファイル KORVEN.ini に書き込めません。\n\n" + folder +
           L"\n\nこのまま地図を表示しますが、色と位置の変更はこのフォルダーには保存されません。\n\n"
           L"保存するには、地図を終了してから、フォルダーごと「Program Files」の外の書き込みできる場所"
           L"（例: C:\\Users\\<ユーザー名>\\KORVEN）へ移動してください。KORVEN.ini を読み取り専用にした場合は、"
           L"ファイルのプロパティで読み取り専用を解除してください。";
}

std::wstring WriteFailureText(const std::wstring& path, const std::wstring& reason, SavedBy by) {
    std::wstring text = L"設定ファイルへの保存中にエラーが発生しました。設定ファイルは変更されていません。\n\nファイル: " + path +
                        L"\n原因: " + reason +
                        L"\n\nほかのプログラム（ウイルス対策ソフトや同期ソフトなど）がファイルを使っている場合は、そのプログラムを"
                        L"閉じてからもう一度お試しください。フォルダーに書き込めない場合は、地図を終了してから、フォルダーごと"
                        L"「Program Files」の外の書き込みできる場所へ移動してください。";
    switch (by) {
        case SavedBy::Exit: return text + L"\n\n［OK］を押すと、地図は保存せずに終了します。";
        case SavedBy::CapitalDialog:
            return text + L"\n\n入力した文字はそのまま残っています。もう一度［OK］を押すか、［ｷｬﾝｾﾙ］で閉じてください。";
        case SavedBy::Capture: break;
    }
    return text;
}

std::wstring UnstorableText(const std::wstring& characters) {
    return L"次の文字は設定ファイルに保存できません: " + characters + L"\n\n入力した文字はそのまま残っています。この文字を除いてから、もう一度［OK］を押してください。";
}

std::wstring WindowNotCreatedText(const std::wstring& what, unsigned long error) {
    return what + L"のウィンドウを作成できませんでした（エラー " + std::to_wstring(error) +
           L"）。\n\nウィンドウが多すぎるか、メモリが不足している可能性があります。ほかのプログラムを終了してから、もう一度お試しください。";
}

}  // namespace korven
