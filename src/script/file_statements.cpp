// Files on disk: OPENFILE, CLOSEFILE, FREAD, FWRITE, FGETS and FSEEK. Each FILE object
// owns its stream while open; the run's end and the release of the script's objects close
// it.
#include <fmt/format.h>

#include <filesystem>
#include <string>
#include <vector>

#include "script/buffer_text.h"
#include "script/file_objects.h"
#include "script/number_literals.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/script_values.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

constexpr int kWrite = 1, kBinary = 2, kAppend = 4;
constexpr std::initializer_list<VarType> kIntegers{VarType::Byte, VarType::Word, VarType::Long};

bool isFile(StatementContext& ctx, std::string_view tag) { return ctx.tables().files.find(tag) != nullptr; }

bool codeIn(std::string_view word, std::initializer_list<int> codes) {
    const int code = ClassifyNumber(word);
    for (int c : codes)
        if (c == code) return true;
    return false;
}

bool openIn(const FileEntry& file, int mode) { return file.mode >= 0 && file.stream && (file.mode & (kWrite | kBinary)) == mode; }

struct TransferCodes {
    int32_t split, count, file, buffer, tooLarge, unrecognizable, limitType, readCount, readCountType;
};

// What a checked FREAD, FWRITE or FGETS names.
struct Transfer {
    FileEntry* file = nullptr;
    ScriptBuffer* buffer = nullptr;
    uint32_t count = 0;
    ScriptVariable* readCount = nullptr;
};

// tag buffer count [readCount]: FREAD, FWRITE and FGETS. A literal count uses its low 16
// bits and is checked against the buffer in both phases; a variable's when it runs.
int checkTransfer(StatementContext& ctx, const TransferCodes& c, size_t wordCount, std::initializer_list<int> literalCodes,
                  std::initializer_list<VarType> limitTypes, std::initializer_list<VarType> readCountTypes, Transfer& t) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(c.split);
    if (w.size() != wordCount) return ctx.fail(c.count);
    t.file = ctx.tables().files.find(w[0]);
    if (!t.file) return ctx.fail(c.file);
    t.buffer = ctx.buffer(w[1]);
    if (!t.buffer) return ctx.fail(c.buffer);
    if (const ScriptVariable* v = ctx.variable(w[2])) {
        bool ok = false;
        for (VarType type : limitTypes) ok = ok || v->type == type;
        if (!ok) return ctx.fail(c.limitType);
        t.count = integerValue(*v);
        if (ctx.executing() && t.count > t.buffer->size()) return ctx.fail(c.tooLarge);
    } else if (codeIn(w[2], literalCodes)) {
        t.count = ParseLong(w[2]) & 0xFFFF;
        if (t.count > t.buffer->size()) return ctx.fail(c.tooLarge);
    } else {
        return ctx.fail(c.unrecognizable);
    }
    if (wordCount == 4) {
        if (ctx.needVariable(w[3], readCountTypes, c.readCount, c.readCountType)) return 1;
        t.readCount = ctx.variable(w[3]);
    }
    return 0;
}

// One line of a text file, at most `limit` - 1 characters, without its line end (a
// carriage return before the line feed goes too). False at the end of the file.
bool readLine(std::FILE* f, uint32_t limit, std::string& line) {
    line.clear();
    if (limit <= 1) return false;
    bool any = false;
    while (line.size() + 1 < limit) {
        const int c = std::fgetc(f);
        if (c == EOF) break;
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

}  // namespace

std::string ListFiles(const FileTable& files) {
    std::string out;
    for (const auto& file : files) {
        std::string mode = " N/A";
        if (file->mode >= 0) {
            mode = (file->mode & kWrite) ? "Write" : "Read";
            mode += (file->mode & kBinary) ? "/Binary" : "/Text";
            if (file->mode & kAppend) mode += "/Append";
        }
        const std::string padding(files.longestName() - file->name.size() + 1, ' ');
        out += fmt::format("FILE  {}{}Mode: {}\r\n", file->name, padding, mode);
    }
    return out;
}

int stmtOpenFile(StatementContext& ctx) {
    std::string text(ctx.args);
    blankOut(text, "\"");
    std::vector<std::string_view> w = splitWords(text);
    if (w.empty() || !isFile(ctx, w[0])) return ctx.fail(err::K_OPENFILE_INVALID_FILE_TAG_SPECIFIED);
    if (w.size() < 2) return ctx.fail(err::K_OPENFILE_INVALID_RESULT_ARG);
    if (ctx.needVariable(w.back(), {VarType::Long}, err::K_OPENFILE_INVALID_RESULT_ARG, err::K_OPENFILE_INVALID_RESULT_ARG))
        return 1;
    // Mode words from the right; the first other word ends them.
    size_t end = w.size() - 1;
    int mode = 0;
    while (end > 1) {
        const std::string_view m = w[end - 1];
        if (equalsUpper(m, "WRITE")) mode |= kWrite;
        else if (equalsUpper(m, "READ")) mode &= ~kWrite;
        else if (equalsUpper(m, "APPEND")) mode |= kAppend;
        else if (equalsUpper(m, "BINARY")) mode |= kBinary;
        else if (equalsUpper(m, "TEXT")) mode &= ~kBinary;
        else break;
        --end;
    }
    if (end <= 1) return ctx.fail(err::K_OPENFILE_MODE_SPECIFICATION_ERROR);
    const std::string_view name = w[1];
    std::filesystem::path path;
    if (const ScriptBuffer* buffer = ctx.buffer(name)) {
        // A buffer still empty at load time is filled by the script before it runs.
        if (textLength(*buffer) > 256) return ctx.fail(err::K_OPENFILE_FILENAME_IN_BUFFER_TOO_LONG);
        if (!ctx.executing()) return 0;
        path = ctx.engine.statementFile(readText(*buffer));
    } else {
        path = ctx.engine.statementFile(name);
        std::error_code ec;
        if (!(mode & kWrite) && !std::filesystem::is_regular_file(path, ec))
            return ctx.fail(err::K_OPENFILE_FILE_SPECIFIED_NOT_PRESENT);
        if (!ctx.executing()) return 0;
    }

    FileEntry* file = ctx.tables().files.find(w[0]);
    if (!file) return ctx.fail(err::K_OPENFILE_SPECIFIED_FILE_NOT_DECLARED);
    if (file->mode >= 0) return ctx.fail(err::K_OPENFILE_FILE_ALREADY_OPEN);
    std::error_code ec;
    // fopen would open a folder for reading; only a file is a file here.
    if (!(mode & kWrite) && !std::filesystem::is_regular_file(path, ec)) return ctx.fail(err::K_OPENFILE_FILE_OPEN_ERROR);
    const bool binary = mode & kBinary;
    const char* how = (mode & kWrite) ? ((mode & kAppend) ? (binary ? "ab" : "a") : (binary ? "wb" : "w"))
                                      : (binary ? "rb" : "r");
    std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(path.string().c_str(), how));
    if (!stream) return ctx.fail(err::K_OPENFILE_FILE_OPEN_ERROR);
    uint32_t length = 0;
    if (!(mode & kWrite)) {
        const auto size = std::filesystem::file_size(path, ec);
        length = ec ? 0 : static_cast<uint32_t>(size);
    }
    file->stream = std::move(stream);
    file->mode = mode;
    file->length = length;
    storeInteger(*ctx.variable(w.back()), length);
    return 0;
}

int stmtCloseFile(StatementContext& ctx) {
    FileEntry* file = ctx.tables().files.find(trimBlanks(ctx.args));
    if (!file) return ctx.fail(err::K_CLOSEFILE_INVALID_FILE_TAG_SPECIFIED);
    if (ctx.executing()) {
        file->stream.reset();
        file->mode = -1;
    }
    return 0;
}

int stmtFRead(StatementContext& ctx) {
    Transfer t;
    if (checkTransfer(ctx,
                      {err::K_FREAD_PARSING_ERROR, err::K_FREAD_ILLEGAL_NUMBER_OF_ARGS_DETECTED, err::K_FREAD_INVALID_FILE_SPECIFIED,
                       err::K_FREAD_INVALID_BUFFER_SPECIFIED, err::K_FREAD_LIMIT_EXCEEDS_BUFFER_SIZE,
                       err::K_FREAD_UNRECOGNIZABLE_LIMIT_ARG, err::K_FREAD_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED,
                       err::K_FREAD_INVALID_RD_OK_VARIABLE_SPECIFIED, err::K_FREAD_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
                      4, {kNumberByte, kNumberWord, kNumberLong}, kIntegers, kIntegers, t))
        return 1;
    if (!ctx.executing()) return 0;
    if (!openIn(*t.file, kBinary)) return ctx.fail(err::K_FREAD_READ_ERROR);
    const size_t read = t.count ? std::fread(t.buffer->storage.data(), 1, t.count, t.file->stream.get()) : 0;
    storeInteger(*t.readCount, read & 0xFFFF);
    t.buffer->primed = true;
    return 0;
}

int stmtFWrite(StatementContext& ctx) {
    Transfer t;
    if (checkTransfer(ctx,
                      {err::K_FWRITE_PARSING_ERROR, err::K_FWRITE_LINE_ILLEGAL_NUMBER_OF_ARGS_DETECTED,
                       err::K_FWRITE_INVALID_FILE_SPECIFIED, err::K_FWRITE_INVALID_BUFFER_SPECIFIED,
                       err::K_FWRITE_LIMIT_EXCEEDS_BUFFER_SIZE, err::K_FWRITE_UNRECOGNIZABLE_LIMIT_ARG,
                       err::K_FWRITE_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED, 0, 0},
                      3, {kNumberByte, kNumberWord, kNumberLong}, kIntegers, {}, t))
        return 1;
    if (!ctx.executing()) return 0;
    if (!openIn(*t.file, kWrite | kBinary)) return ctx.fail(err::K_FWRITE_WRITE_ERROR);
    std::FILE* f = t.file->stream.get();
    if (t.count && std::fwrite(t.buffer->storage.data(), 1, t.count, f) != t.count) return ctx.fail(err::K_FWRITE_WRITE_ERROR);
    std::fflush(f);  // what a script wrote survives a run that ends badly
    return 0;
}

int stmtFGets(StatementContext& ctx) {
    Transfer t;
    if (checkTransfer(ctx,
                      {err::K_FGETS_PARSING_ERROR, err::K_FGETS_ILLEGAL_NUMBER_OF_ARGS_DETECTED, err::K_FGETS_INVALID_FILE_SPECIFIED,
                       err::K_FGETS_INVALID_BUFFER_SPECIFIED, err::K_FGETS_LIMIT_EXCEEDS_BUFFER_SIZE,
                       err::K_FGETS_UNRECOGNIZABLE_LIMIT_ARG, err::K_FGETS_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED,
                       err::K_FGETS_INVALID_RD_OK_VARIABLE_SPECIFIED, err::K_FGETS_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
                      4, {kNumberByte, kNumberWord}, {VarType::Byte, VarType::Word}, {VarType::Word}, t))
        return 1;
    if (!ctx.executing()) return 0;
    if (t.file->mode < 0 || !t.file->stream) return ctx.fail(err::K_FGETS_FILE_NOT_OPEN);
    if (!openIn(*t.file, 0)) return ctx.fail(err::K_FGETS_INVALID_FILE_MODE);
    std::string line;
    readLine(t.file->stream.get(), t.count, line);
    // The limit is at most the buffer's size, so the text and its zero byte fit.
    writeText(*t.buffer, line);
    storeInteger(*t.readCount, line.size());
    return 0;
}

int stmtFSeek(StatementContext& ctx) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_FSEEK_PARSING_ERROR);
    if (w.size() != 3) return ctx.fail(err::K_FSEEK_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    FileEntry* file = ctx.tables().files.find(w[0]);
    if (!file) return ctx.fail(err::K_FSEEK_INVALID_FILE_SPECIFIED);
    long offset = 0;
    if (const ScriptVariable* v = ctx.variable(w[1])) {
        if (ctx.needVariable(w[1], kIntegers, 0, err::K_FSEEK_ILLEGAL_WHERE_VARIABLE_TYPE_SPECIFIED)) return 1;
        offset = v->type == VarType::Long ? static_cast<long>(static_cast<int32_t>(v->longSlot)) : static_cast<long>(integerValue(*v));
    } else if (codeIn(w[1], {kNumberByte, kNumberWord, kNumberLong})) {
        offset = static_cast<long>(ParseLong(w[1]) & 0xFFFF);
    } else {
        return ctx.fail(err::K_FSEEK_UNRECOGNIZABLE_WHERE_ARG);
    }
    const std::string& origin = w[2];
    int whence = SEEK_SET;
    if (equalsUpper(origin, "SEEK_CUR")) whence = SEEK_CUR;
    else if (equalsUpper(origin, "SEEK_END")) whence = SEEK_END;
    else if (!equalsUpper(origin, "SEEK_SET")) return ctx.fail(err::K_SEEK_ILLEGAL_FROM_PHRASE_SPECIFIED);
    if (!ctx.executing()) return 0;
    if (file->mode < 0 || !file->stream) return ctx.fail(err::K_FSEEK_FILE_NOT_OPENED);
    // A position before the start is refused by the stream and leaves it where it was.
    std::fseek(file->stream.get(), offset, whence);
    return 0;
}

}  // namespace vexal::script
