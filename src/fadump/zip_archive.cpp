#include "fadump/zip_archive.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <memory>
#include <vector>

#include "fadump/atomic_file.h"
#include "fadump/dump_files.h"
#include "platform/file_errors.h"

namespace vexal::fadump {
namespace {

struct ZipCloser {
    void operator()(void* z) const { zipClose(static_cast<zipFile>(z), nullptr); }
};
struct UnzipCloser {
    void operator()(void* u) const { unzClose(static_cast<unzFile>(u)); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

int errnoOr(int fallback) { return errno ? errno : fallback; }

zip_fileinfo memberInfo() {
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    info.tmz_date.tm_sec = static_cast<uInt>(t.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(t.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(t.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(t.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(t.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(t.tm_year + 1900);
    return info;
}

}  // namespace

bool compressFile(const std::filesystem::path& source, const std::filesystem::path& archive, mode_t permissions,
                  int& error) {
    error = 0;
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        error = errnoOr(ENOENT);
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(source, ec);
    AtomicFile out(archive);
    if (!out.ok()) {
        error = out.error();
        return false;
    }
    {
        errno = 0;
        ZipHandle zip(zipOpen64(out.temporary().c_str(), APPEND_STATUS_CREATE));
        if (!zip) {
            error = errnoOr(EIO);
            return false;
        }
        const zip_fileinfo info = memberInfo();
        const std::string name = source.filename().string();
        const int zip64 = !ec && size >= 0xFFFFFFFFull ? 1 : 0;
        if (zipOpenNewFileInZip64(zip.get(), name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK) {
            error = errnoOr(EIO);
            return false;
        }
        std::vector<char> chunk(kZipChunk);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<unsigned>(in.gcount());
            if (got > 0 && zipWriteInFileInZip(zip.get(), chunk.data(), got) != ZIP_OK) {
                error = errnoOr(ENOSPC);
                return false;
            }
        }
        if (in.bad()) {
            error = EIO;
            return false;
        }
        if (zipCloseFileInZip(zip.get()) != ZIP_OK || zipClose(zip.release(), nullptr) != ZIP_OK) {
            error = errnoOr(ENOSPC);
            return false;
        }
    }
    if (!out.commit(permissions)) {
        error = out.error();
        return false;
    }
    return true;
}

bool safeMemberName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;  // "C:..." names a drive
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = name.find_first_of("/\\", start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part == "..") return false;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return true;
}

ExtractResult extractFirstMember(const std::filesystem::path& archive, const std::filesystem::path& output,
                                 const ExtractLimits& limits) {
    ExtractResult r;
    r.output = output.string();
    UnzipHandle zip(unzOpen64(archive.c_str()));
    if (!zip) {
        r.error = ExtractError::NotAnArchive;
        return r;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK) {
        r.error = ExtractError::NotAnArchive;
        return r;
    }
    if (global.number_entry == 0) {
        r.error = ExtractError::NoMember;
        return r;
    }
    if (global.number_entry > limits.maxMembers) {
        r.error = ExtractError::TooManyMembers;
        return r;
    }
    if (unzGoToFirstFile(zip.get()) != UNZ_OK) {
        r.error = ExtractError::Damaged;
        return r;
    }
    unz_file_info64 info{};
    char name[512] = {};
    if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
        r.error = ExtractError::Damaged;
        return r;
    }
    r.memberName.assign(name, std::min<size_t>(info.size_filename, sizeof name - 1));
    if (info.size_filename >= sizeof name || !safeMemberName(r.memberName)) {
        r.error = ExtractError::UnsafeName;
        return r;
    }
    if (info.uncompressed_size > limits.maxExpanded) {
        r.error = ExtractError::TooLarge;
        return r;
    }
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) {
        r.error = ExtractError::Damaged;
        return r;
    }
    AtomicFile out(output);
    if (!out.ok()) {
        unzCloseCurrentFile(zip.get());
        r.error = ExtractError::WriteFailed;
        r.systemError = out.error();
        return r;
    }
    std::vector<char> chunk(kZipChunk);
    for (;;) {
        const int got = unzReadCurrentFile(zip.get(), chunk.data(), static_cast<unsigned>(chunk.size()));
        if (got < 0) {
            unzCloseCurrentFile(zip.get());
            r.error = ExtractError::Damaged;
            return r;
        }
        if (got == 0) break;
        r.bytes += static_cast<uint64_t>(got);
        // The size in the header is the archive's own claim: count what really comes out.
        if (r.bytes > limits.maxExpanded) {
            unzCloseCurrentFile(zip.get());
            r.error = ExtractError::TooLarge;
            return r;
        }
        if (!out.write(chunk.data(), static_cast<size_t>(got))) {
            unzCloseCurrentFile(zip.get());
            r.error = ExtractError::WriteFailed;
            r.systemError = out.error();
            return r;
        }
    }
    // The CRC is checked only when the member came out at its full size: a stream that ends
    // early is damaged too.
    if (unzCloseCurrentFile(zip.get()) != UNZ_OK || r.bytes != info.uncompressed_size) {
        r.error = ExtractError::Damaged;
        return r;
    }
    if (!out.commit()) {
        r.error = ExtractError::WriteFailed;
        r.systemError = out.error();
    }
    return r;
}

std::string extractErrorText(const ExtractResult& r, const std::filesystem::path& archive,
                             const ExtractLimits& limits) {
    const std::string file = archive.string();
    switch (r.error) {
    case ExtractError::None: return {};
    case ExtractError::NotAnArchive:
        return "The file " + file + " is not a compressed FA dump file (it is damaged, truncated or of another kind).";
    case ExtractError::NoMember: return "The compressed FA dump file " + file + " holds no dump.";
    case ExtractError::TooManyMembers:
        return "The compressed FA dump file " + file + " holds more than " + std::to_string(limits.maxMembers) +
               " files; it is not an FA dump and is not opened.";
    case ExtractError::UnsafeName:
        return "The compressed FA dump file " + file + " is refused: its member name \"" + r.memberName +
               "\" would be written outside its folder.";
    case ExtractError::TooLarge:
        return "The compressed FA dump file " + file + " is refused: it expands to more than " +
               std::to_string(limits.maxExpanded) + " bytes.";
    case ExtractError::Damaged: return "The compressed FA dump file " + file + " is damaged and cannot be expanded.";
    case ExtractError::WriteFailed:
        return "The dump in " + file + " cannot be expanded. " +
               platform::fileErrorText(platform::causeFromErrno(r.systemError), r.output);
    }
    return {};
}

}  // namespace vexal::fadump
