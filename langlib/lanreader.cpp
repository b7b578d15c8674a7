#include "langlib/lanreader.h"

#include "langlib/attributereader.h"
#include "langlib/utf8text.h"

#include <atomic>

namespace vocalith {

namespace {

constexpr char EndOfFile = 26;

// A sink outlives the reader of each file it is fed from; serials that started again at 0
// for every file would let it take the last file's verdict for a different name.
std::uint64_t NewSerial() {
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

TLanReader::TLanReader(TLanSink& sink)
    : sink_(sink), packageSerial_(NewSerial()), languageSerial_(NewSerial()) {}

bool TLanReader::Feed(std::string_view bytes) {
    std::size_t pos = 0;
    const std::size_t size = bytes.size();
    while (pos < size && !ended_ && !abandoned_) {
        if (afterCR_) {
            afterCR_ = false;
            if (bytes[pos] == '\n') {
                ++pos;
                continue;
            }
        }
        if (!inTag_) {
            // Text between tags is skipped in bulk; only "<", CR and the end mark matter.
            while (pos < size && bytes[pos] != '<' && bytes[pos] != '\r' &&
                   bytes[pos] != EndOfFile) {
                ++pos;
            }
            if (pos == size) {
                break;
            }
        }
        const char c = bytes[pos++];
        if (c == EndOfFile) {
            ended_ = true;
        } else if (c == '\r') {
            afterCR_ = true;
            inTag_ = false;
            tag_.clear();
        } else if (!inTag_) {
            inTag_ = true; // c is "<"
            tag_.clear();
        } else if (c == '>') {
            inTag_ = false;
            HandleTag(tag_);
            tag_.clear();
        } else {
            tag_.push_back(c);
        }
    }
    return !ended_ && !abandoned_;
}

TLanScope TLanReader::Scope() const {
    return {package_, language_, packageSerial_, languageSerial_};
}

void TLanReader::HandleTag(std::string_view tag) {
    if (tag.empty()) {
        return;
    }
    const std::size_t space = tag.find(' ');
    std::string name;
    std::string_view attributes;
    if (space == std::string_view::npos || space == 0) {
        name = AsciiUpper(tag);
    } else {
        name = AsciiUpper(tag.substr(0, space));
        attributes = tag.substr(space + 1);
    }
    const bool closing = !name.empty() && name.front() == '/';
    if (closing) {
        name.erase(0, 1);
    }
    HandleElement(name, closing, attributes);
}

void TLanReader::HandleElement(std::string_view name, bool closing, std::string_view attributes) {
    const bool opening = !closing;
    if (abandoned_) {
        return;
    }
    if (type_.empty()) {
        if (opening && name == "IDENTIFICATION") {
            TAttributeReader reader(attributes);
            std::string_view type;
            if (reader.Read("TYPE", type)) {
                type_ = type;
            }
        } else {
            abandoned_ = true;
        }
        return;
    }
    if (closing && name == "IDENTIFICATION") {
        type_.clear();
        return;
    }
    if (package_.empty()) {
        if (opening && name == "PACKAGE") {
            TAttributeReader reader(attributes);
            std::string_view package;
            if (reader.Read("NAME", package)) {
                package_ = package;
                packageSerial_ = NewSerial();
            }
        } else {
            abandoned_ = true;
        }
        return;
    }
    if (closing && name == "PACKAGE") {
        package_.clear();
        packageSerial_ = NewSerial();
        return;
    }
    if (language_.empty()) {
        if (opening && name == "LANGUAGE") {
            TAttributeReader reader(attributes);
            language_ = reader.Value("NAME");
            languageSerial_ = NewSerial();
            const std::string_view native = reader.Value("NATIVE");
            sink_.LanguageFound(Scope(), native);
        } else {
            abandoned_ = true;
        }
        return;
    }
    if (closing && name == "LANGUAGE") {
        language_.clear();
        languageSerial_ = NewSerial();
    } else if (opening && name == "TEXT") {
        sink_.TextFound(Scope(), attributes);
    }
}

} // namespace vocalith
