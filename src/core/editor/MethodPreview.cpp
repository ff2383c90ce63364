#include "editor/MethodPreview.h"

#include "sources/SourceCatalog.h"
#include "sources/TextLineReader.h"

namespace vantrel {

namespace {

void ReadTextPreview(const std::string& path, std::vector<std::string>& lines) {
    ErrorState ignored;
    TextLineReader reader;
    if (!reader.Open(path, ignored)) return;
    std::string line;
    while (reader.LineNumber() < kPreviewRows && reader.ReadLine(line))
        lines.push_back(std::to_string(reader.LineNumber()) + "\t" + line);
    reader.Close();
}

void ReadRecordPreview(Engine& engine, const std::string& path, PreviewSource source,
                       const std::string& table, std::vector<std::string>& lines) {
    const FileKind kind =
        source == PreviewSource::Workbook ? FileKind::ExcelWorkbook : FileKindOf(path);
    auto db = engine.OpenDatabase(path, 0, true, ConnectStringFor(kind, path));
    if (!db) return;
    auto rs = db->OpenRecordset(table);
    if (!rs) {
        db->Close();
        return;
    }
    if (source == PreviewSource::Database) {
        std::string names = " \t";
        for (int32_t f = 0; f < rs->FieldCount(); ++f)
            names += rs->Field(f).Name + "\t";
        lines.push_back(std::move(names));
    }
    // A failing move sets the pending error without reaching the end; the check stops the walk.
    for (int record = 1; record <= kPreviewRows && !rs->Eof() && !engine.Error().IsSet();
         ++record) {
        std::string line = std::to_string(record) + "\t";
        for (int32_t f = 0; f < rs->FieldCount(); ++f) {
            const Value v = rs->GetValue(f);
            line += (v.IsNull() ? std::string{} : v.ToText()) + "\t";
        }
        lines.push_back(std::move(line));
        rs->MoveNext();
    }
    rs->Close();
    db->Close();
}

}  // namespace

std::vector<std::string> ReadPreview(Engine& engine, const std::string& path, PreviewSource source,
                                     const std::string& table) {
    std::vector<std::string> lines;
    if (path.empty()) return lines;
    const ErrorState before = engine.Error();
    engine.Error().Clear();
    if (source == PreviewSource::Text) {
        ReadTextPreview(path, lines);
    } else if (source == PreviewSource::Workbook || source == PreviewSource::Database) {
        ReadRecordPreview(engine, path, source, table, lines);
    }
    engine.Error() = before;
    return lines;
}

}  // namespace vantrel
