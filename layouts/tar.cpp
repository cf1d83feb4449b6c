// The headers of a tar archive: ustar blocks of 512 bytes, with pax extended headers and GNU
// long names for names longer than the header holds. Only what the headers in the archive's
// first bytes say is read; a member's content may lie beyond them.

#include <string>

#include "layouts/bytes.h"

namespace {

constexpr uint64_t kBlock = 512;
constexpr size_t kNameAt = 0, kNameBytes = 100;
constexpr size_t kSizeAt = 124, kSizeBytes = 12;
constexpr size_t kTypeAt = 156;
constexpr size_t kMagicAt = 257;
constexpr size_t kPrefixAt = 345, kPrefixBytes = 155;

std::string_view Field(std::string_view header, size_t at, size_t bytes)
{
    const std::string_view field = header.substr(at, bytes);
    return field.substr(0, field.find('\0'));
}

// An octal size (NUL or space terminated), or GNU's base-256 form for large sizes.
bool ReadSize(std::string_view field, uint64_t &size)
{
    size = 0;
    if (!field.empty() && (static_cast<unsigned char>(field[0]) & 0x80) != 0) {
        for (size_t k = 1; k < field.size(); ++k) {
            if (size >> 56) return false;
            size = (size << 8) | static_cast<unsigned char>(field[k]);
        }
        return true;
    }
    size_t k = 0;
    while (k < field.size() && field[k] == ' ') ++k;
    bool digits = false;
    for (; k < field.size() && field[k] >= '0' && field[k] <= '7'; ++k) {
        if (size >> 60) return false;
        size = size * 8 + static_cast<uint64_t>(field[k] - '0');
        digits = true;
    }
    return digits;
}

// The "path" record of a pax extended header ("<length> path=<name>\n" records).
void ReadPaxPath(std::string_view records, std::string &path)
{
    size_t at = 0;
    while (at < records.size()) {
        size_t length = 0;
        size_t k = at;
        while (k < records.size() && records[k] >= '0' && records[k] <= '9' && length < records.size())
            length = length * 10 + static_cast<size_t>(records[k++] - '0');
        if (length == 0 || length > records.size() - at || k >= records.size() || records[k] != ' ') return;
        const std::string_view record = records.substr(k + 1, at + length - k - 1);
        if (record.starts_with("path=")) {
            path = std::string(record.substr(5));
            if (!path.empty() && path.back() == '\n') path.pop_back();
        }
        at += length;
    }
}

bool AllZero(std::string_view block)
{
    return block.find_first_not_of('\0') == std::string_view::npos;
}

}  // namespace

bool Layouts_ReadTarMembers(std::string_view prefix, int64_t fileSize, std::vector<TarMember> &members,
                            std::string &reason)
{
    members.clear();
    if (prefix.size() < kBlock || prefix.substr(kMagicAt, 5) != "ustar") {
        reason = "no tar header";
        return false;
    }
    const uint64_t file = static_cast<uint64_t>(fileSize);
    std::string longName;  // from a pax or GNU header, for the member that follows
    uint64_t at = 0;
    while (at + kBlock <= prefix.size()) {
        const std::string_view header = prefix.substr(static_cast<size_t>(at), kBlock);
        if (AllZero(header)) break;
        if (header.substr(kMagicAt, 5) != "ustar") {
            reason = "tar header without the ustar mark";
            return false;
        }
        uint64_t size = 0;
        if (!ReadSize(header.substr(kSizeAt, kSizeBytes), size)) {
            reason = "tar header with an unreadable size";
            return false;
        }
        const uint64_t data = at + kBlock;
        if (data > file || size > file - data) {
            reason = "tar member runs past the end of the file";
            return false;
        }
        const char type = header[kTypeAt];
        const bool contentInPrefix = size <= prefix.size() - data;
        if (type == 'x' || type == 'L') {
            if (!contentInPrefix) {
                reason = "tar extended header not within the first 64 KiB";
                return false;
            }
            const std::string_view content = prefix.substr(static_cast<size_t>(data), static_cast<size_t>(size));
            if (type == 'x')
                ReadPaxPath(content, longName);
            else
                longName = std::string(content.substr(0, content.find('\0')));
        } else if (type == '0' || type == '\0') {
            std::string name = longName;
            if (name.empty()) {
                const std::string_view ustarPrefix = Field(header, kPrefixAt, kPrefixBytes);
                name = std::string(ustarPrefix);
                if (!name.empty()) name += '/';
                name += Field(header, kNameAt, kNameBytes);
            }
            members.push_back({name, static_cast<int64_t>(data), static_cast<int64_t>(size)});
            longName.clear();
        } else if (type != 'g') {
            longName.clear();  // folders, links and the like hold no recording
        }
        at = data + (size + kBlock - 1) / kBlock * kBlock;
    }
    return true;
}
