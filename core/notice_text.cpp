#include "core/notice_text.h"

namespace korven {

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
