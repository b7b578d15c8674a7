#pragma once

// The reader of one language file: splits the bytes into lines and tags and follows the
// IDENTIFICATION / PACKAGE / LANGUAGE / TEXT structure, reporting languages and texts to a
// sink.
//
// Lines end at CR (a LF right after it belongs to the line end; a LF alone is an ordinary
// character); the byte 26 ends the file. A tag is everything between "<" and ">" on one
// line. A tag that breaks the structure abandons the rest of the file; what was reported
// before stays reported.
//
// Bytes may be fed in pieces of any size, so a file is read in chunks without ever being
// held whole. One reader reads one file; it keeps no reference to fed bytes after Feed
// returns. Not thread-safe.

#include <cstdint>
#include <string>
#include <string_view>

namespace vocalith {

// The package and language a tag stands in. Each serial changes whenever its name is set
// or cleared, so a sink can keep what it worked out for a name until the serial moves,
// instead of comparing the names again for every tag (a hostile file could make that
// quadratic with one huge name). Serials are unique across all readers of the process, so
// one sink may serve the readers of several files in turn.
struct TLanScope {
    std::string_view package;
    std::string_view language;
    std::uint64_t packageSerial = 0;
    std::uint64_t languageSerial = 0;
};

// Receives what a reader finds. The views are valid only during the call.
class TLanSink {
public:
    virtual ~TLanSink() = default;
    // A LANGUAGE element was opened; scope.language may be empty.
    virtual void LanguageFound(const TLanScope& scope, std::string_view native) = 0;
    // A TEXT tag; `attributes` is the tag after its name.
    virtual void TextFound(const TLanScope& scope, std::string_view attributes) = 0;
};

class TLanReader {
public:
    explicit TLanReader(TLanSink& sink);

    // Reads the next bytes of the file. Returns false once nothing further can change the
    // result (the end mark was read or the file was abandoned); more bytes are then ignored.
    bool Feed(std::string_view bytes);

    bool Abandoned() const { return abandoned_; }

private:
    void HandleTag(std::string_view tag);
    void HandleElement(std::string_view name, bool closing, std::string_view attributes);
    TLanScope Scope() const;

    TLanSink& sink_;
    std::string tag_;
    bool inTag_ = false;
    bool afterCR_ = false;
    bool ended_ = false;
    bool abandoned_ = false;
    std::string type_;
    std::string package_;
    std::string language_;
    std::uint64_t packageSerial_;
    std::uint64_t languageSerial_;
};

} // namespace vocalith
