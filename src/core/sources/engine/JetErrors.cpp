#include "sources/engine/JetErrors.h"

namespace vantrel {

std::string JetErrorDescription(int32_t number, const std::string& name) {
    const std::string quoted = "'" + name + "'";
    switch (number) {
        case JetError::TableExists:
            return "テーブル " + quoted + " は既に存在します。";
        case JetError::UpdateWithoutAddNew:
            return "AddNew または Edit を実行せずに Update を実行しました。";
        case JetError::NoCurrentRecord:
            return "カレント レコードがありません。";
        case JetError::DuplicateKey:
            return "インデックス、主キー、またはリレーションシップで値が重複しているので、"
                   "テーブルを変更できませんでした。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::FileNotFound:
            return "ファイル " + quoted + " が見つかりません。";
        case JetError::ReadOnly:
            return "データベースまたはオブジェクトは読み取り専用なので、更新できません。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::InvalidPassword:
            return "パスワードが無効です。" + quoted +
                   " はパスワードで保護されているか暗号化されているため開けません。";
        case JetError::InvalidPath:
            return quoted +
                   " は正しいパスではありません。パス名が正しいかどうかを確認してください。";
        case JetError::CannotOpenDatabase:
            return "データベース " + quoted +
                   " を開けません。ファイルが壊れているか、途中で切れています。";
        case JetError::CannotOpenFile:
            return "ファイル " + quoted +
                   " を開けないか、ロックできません。他のユーザーが排他的に開いているか、"
                   "表示または書き込みの権限がありません。";
        case JetError::TableNotFound:
            return "入力テーブルまたはクエリ " + quoted +
                   " が見つかりません。名前のつづりが正しいか、テーブルが存在するかを確認してくださ"
                   "い。";
        case JetError::IllegalName:
            return quoted + " は正しい名前ではありません。";
        case JetError::CannotUpdateField:
            return "フィールドを更新できません。";
        case JetError::RecordDeleted:
            return "レコードは削除されています。";
        case JetError::ObjectClosed:
            return "オブジェクトが無効か、既に閉じられています。";
        case JetError::DiskFull:
            return "システム リソースが不足しています (ディスクがいっぱいです)。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::FieldTooSmall:
            return "フィールドが小さすぎて、追加しようとしたデータを格納できません。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::FieldDefinedTwice:
            return "同じフィールド " + quoted + " を複数回定義することはできません。";
        case JetError::HasRelatedRecords:
            return "テーブル " + quoted +
                   " にリレーションシップが設定されたレコードがあるので、レコードを削除または変更で"
                   "きません。";
        case JetError::DatabaseExists:
            return "データベース " + quoted + " は既に存在します。";
        case JetError::NeedsRelatedRecord:
            return "テーブル " + quoted +
                   " にリレーションシップが設定されたレコードが必要なので、レコードを追加または変更"
                   "できません。";
        case JetError::ItemNotFound:
            return "このコレクションには項目 " + quoted + " がありません。";
        case JetError::ExternalTableFormat:
            return "外部テーブル " + quoted + " の形式が正しくありません。";
        case JetError::RequiredIsNull:
            return "フィールド " + quoted +
                   " には値が必要です。このフィールドに値を入力してください。";
        case JetError::ZeroLengthNotAllowed:
            return "フィールド " + quoted + " に長さ 0 の文字列を入力することはできません。";
        case JetError::ValidationRule:
            return "入力規則に違反する値があります。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::UnrecognizedFormat:
            return "データベースの形式 " + quoted + " を認識できません。";
        case JetError::NullInIndex:
            return "インデックスまたは主キーには Null 値を使用できません。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::RecordTooLarge:
            return "レコードが大きすぎます。" + (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::ConversionError:
            return "データ型変換エラーです。" + (name.empty() ? std::string{} : "(" + name + ")");
        case JetError::DatabaseTooLarge:
            return "データベースが Access のサイズの上限 (2 GB) に達したため、" +
                   (name.empty() ? std::string{} : "テーブル " + quoted + " に") +
                   "これ以上書き込めません。";
        case JetError::OperationNotSupported:
            return "この種類のオブジェクトではこの操作はサポートされていません。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
        default:
            return "データベース エンジンのエラーです。" +
                   (name.empty() ? std::string{} : "(" + name + ")");
    }
}

void SetJetError(ErrorState& error, int32_t number, const std::string& name) {
    error.Set(number, JetErrorDescription(number, name));
}

}  // namespace vantrel
