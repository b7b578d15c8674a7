#include "filelist/versioninfo.h"

#include "engine/utf8text.h"
#include "filelist/elfsection.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace qm {
namespace {

constexpr std::size_t kMaxValueChars = 254;
constexpr std::size_t kMaxLanguageNameChars = 255;

// The first `max` characters of UTF-8 text, each byte that is not part of a well-formed
// sequence counting as one character (as file names count them), so the cut never
// splits a well-formed character.
std::string FirstChars(const std::string& text, std::size_t max) {
    std::u32string chars = DecodeUtf8(text);
    if (chars.size() <= max)
        return text;
    chars.resize(max);
    return EncodeUtf8(chars);
}

std::string LanguageDisplayName(std::uint16_t languageId) {
    UErrorCode status = U_ZERO_ERROR;
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    uloc_getLocaleForLCID(languageId, locale, sizeof locale, &status);
    if (U_FAILURE(status) || locale[0] == '\0')
        return {};
    UChar wide[256] = {};
    const int32_t wideLength = uloc_getDisplayName(locale, nullptr, wide, 256, &status);
    if (U_FAILURE(status) || wideLength <= 0)
        return {};
    char utf8[256 * 3 + 1] = {};
    int32_t length = 0;
    u_strToUTF8(utf8, sizeof utf8, &length, wide, wideLength < 256 ? wideLength : 256, &status);
    if (U_FAILURE(status))
        return {};
    return FirstChars(std::string(utf8, static_cast<std::size_t>(length)), kMaxLanguageNameChars);
}

} // namespace

std::string PadNumber(unsigned n, int width, char ch) {
    std::string digits = std::to_string(n);
    const int fill = width - static_cast<int>(digits.size());
    return fill > 0 ? std::string(static_cast<std::size_t>(fill), ch) + digits : digits;
}

std::string LongVersionText(unsigned major, unsigned minor, unsigned build) {
    return std::to_string(major) + "." + PadNumber(minor, 2, '0') + "." + PadNumber(build, 2, '0');
}

TVersionInfo::TVersionInfo() {
    // Read through the link, which reaches the running image even when its file has
    // been replaced or removed since; but record the program's own path while that path
    // still names the running file.
    constexpr const char* kSelf = "/proc/self/exe";
    LoadFromFile(kSelf);
    std::error_code error;
    const std::string own = std::filesystem::read_symlink(kSelf, error).string();
    struct stat ownInfo {};
    struct stat selfInfo {};
    if (!error && !own.empty() && own.front() == '/' && ::stat(own.c_str(), &ownInfo) == 0 &&
        ::stat(kSelf, &selfInfo) == 0 && ownInfo.st_ino == selfInfo.st_ino &&
        ownInfo.st_dev == selfInfo.st_dev)
        fileName_ = own;
}

void TVersionInfo::LoadFromFile(const std::string& name) {
    struct stat info {};
    if (name.empty() || ::stat(name.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return;
    fileName_ = name;
    data_.reset();
    auto bytes = ReadElfSection(name, versionblock::kSectionName, versionblock::kMaxBlockSize);
    if (!bytes)
        return;
    data_ = versionblock::DecodeVersionBlock(*bytes);
    if (!data_)
        return;
    translationId_ = 0;
    if (!data_->Translations.empty()) {
        const versionblock::Translation& first = data_->Translations.front();
        translationId_ = std::uint32_t{first.Language} << 16 | first.CodePage;
    }
    char hex[9] = {};
    std::snprintf(hex, sizeof hex, "%08X", translationId_);
    translation_ = hex;
}

std::string TVersionInfo::LanguageName() const {
    // Of the last translation read: a later file without version data keeps it.
    return LanguageDisplayName(static_cast<std::uint16_t>(translationId_ >> 16));
}

std::uint16_t TVersionInfo::GetVersionNumber(int part) const {
    if (!data_ || part < 0 || part > 3)
        return 0;
    return data_->FileVersion[static_cast<std::size_t>(part)];
}

std::string TVersionInfo::StringValue(const char* key) const {
    if (!data_)
        return {};
    std::string value = data_->Find(translationId_, key).value_or(std::string());
    // The value ends at its first zero byte, as a zero-terminated string would.
    value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
    return FirstChars(value, kMaxValueChars);
}

std::string TVersionInfo::DottedVersion() const {
    return std::to_string(GetVersionNumber(0)) + "." + std::to_string(GetVersionNumber(1)) + "." +
           std::to_string(GetVersionNumber(2)) + "." + std::to_string(GetVersionNumber(3));
}

std::string TVersionInfo::GetInfo(int index) const {
    static constexpr const char* kKeys[] = {
        nullptr,        "CompanyName",    "FileDescription", "FileVersion",
        "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
        "ProductName",  "ProductVersion", "Comments"};
    switch (index) {
    case InfoLanguageName:
        return LanguageName();
    case InfoShortVersion: {
        std::string text =
            std::to_string(GetVersionNumber(0)) + "." + PadNumber(GetVersionNumber(1), 2, '0');
        if (text.size() == 4 && text.back() == '0')
            text.pop_back();
        return text;
    }
    case InfoLongVersion:
        return LongVersionText(GetVersionNumber(0), GetVersionNumber(1), GetVersionNumber(3));
    default:
        if (index >= InfoCompanyName && index <= InfoComments)
            return StringValue(kKeys[index]);
        return {};
    }
}

} // namespace qm
