#include "common/ErrorState.h"

#include <utility>

namespace vantrel {

void ErrorState::Set(int32_t number, std::string description, std::string source) {
    Number = number;
    Description = std::move(description);
    Source = std::move(source);
}

void ErrorState::Clear() {
    Number = 0;
    Description.clear();
    Source.clear();
}

std::string ErrorState::WithNumber() const {
    return Description + " (" + std::to_string(Number) + ")";
}

namespace RuntimeError {

std::string Description(int32_t number) {
    switch (number) {
        case InvalidProcedureCall:
            return "プロシージャの呼び出し、または引数が不正です。";
        case Overflow:
            return "オーバーフローしました。";
        case OutOfMemory:
            return "メモリが不足しています。";
        case SubscriptOutOfRange:
            return "インデックスが有効範囲にありません。";
        case TypeMismatch:
            return "型が一致しません。";
        case FileNotFound:
            return "ファイルが見つかりません。";
        case DiskFull:
            return "ディスクの空き容量が不足しています。";
        case InputPastEndOfFile:
            return "ファイルにこれ以上データがありません。";
        case PermissionDenied:
            return "書き込みできません。";
        case PathFileAccessError:
            return "パス名が無効です。";
        case PathNotFound:
            return "パスが見つかりません。";
        default:
            return "アプリケーション定義またはオブジェクト定義のエラーです。";
    }
}

}  // namespace RuntimeError

}  // namespace vantrel
