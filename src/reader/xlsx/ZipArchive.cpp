#include "xlsx/ZipArchive.h"

#include <zip.h>

#include <vector>

namespace vantrel::xlsx {

namespace {

constexpr std::size_t kPieceBytes = 1 << 16;

struct FileCloser {
    zip_file_t* file;
    ~FileCloser() { zip_fclose(file); }
};

ZipStatus StatusOfError(int code) {
    switch (code) {
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_ENCRNOTSUPP:
            return ZipStatus::Encrypted;
        default:
            return ZipStatus::Damaged;
    }
}

}  // namespace

ZipArchive::~ZipArchive() {
    if (archive_) zip_discard(archive_);
}

bool ZipArchive::OpenFile(const std::string& path) {
    int error = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &error);
    return archive_ != nullptr;
}

bool ZipArchive::OpenBytes(std::string bytes) {
    bytes_ = std::move(bytes);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!archive_) zip_source_free(source);
    }
    zip_error_fini(&error);
    return archive_ != nullptr;
}

int64_t ZipArchive::Locate(const std::string& name) const {
    if (!archive_ || name.empty()) return -1;
    return zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
}

bool ZipArchive::Has(const std::string& name) const {
    return Locate(name) >= 0;
}

ZipStatus ZipArchive::Read(const std::string& name, uint64_t limit, const Sink& sink) const {
    const int64_t index = Locate(name);
    if (index < 0) return ZipStatus::Missing;
    const auto entry = static_cast<zip_uint64_t>(index);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, entry, 0, &st) != 0) return ZipStatus::Damaged;
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        return ZipStatus::Encrypted;
    const bool sizeKnown = (st.valid & ZIP_STAT_SIZE) != 0;
    if (sizeKnown && st.size > limit) return ZipStatus::TooLarge;
    zip_file_t* file = zip_fopen_index(archive_, entry, 0);
    if (!file) return StatusOfError(zip_error_code_zip(zip_get_error(archive_)));
    FileCloser closer{file};
    std::vector<char> piece(kPieceBytes);
    uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file, piece.data(), piece.size());
        if (got < 0) return StatusOfError(zip_error_code_zip(zip_file_get_error(file)));
        if (got == 0) break;
        total += static_cast<uint64_t>(got);
        if (total > limit) return ZipStatus::TooLarge;
        // More than the archive states means the entry lies about itself.
        if (sizeKnown && total > st.size) return ZipStatus::Damaged;
        if (!sink(std::string_view(piece.data(), static_cast<std::size_t>(got))))
            return ZipStatus::Stopped;
    }
    if (sizeKnown && total != st.size) return ZipStatus::Damaged;
    return ZipStatus::Ok;
}

}  // namespace vantrel::xlsx
