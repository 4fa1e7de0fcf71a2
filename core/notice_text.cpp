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

std::wstring WriteFailureText(const std::wstring& path, const std::wstring& reason) {
    return L"設定ファイルに書き込めませんでした。\n\nファイル: " + path + L"\n理由: " + reason;
}

std::wstring UnstorableText(const std::wstring& characters) {
    return L"次の文字は設定ファイルに保存できません: " + characters + L"\n\nこの文字を除いてから「OK」を押してください。";
}

std::wstring WindowNotCreatedText(const std::wstring& what, unsigned long error) {
    return what + L"のウィンドウを作成できませんでした（エラー " + std::to_wstring(error) +
           L"）。\n\nウィンドウが多すぎるか、メモリが足りない可能性があります。";
}

}  // namespace korven
