#pragma once

// A folder's path held once for every entry of the folder: a million files of one folder
// share one string instead of a million copies of it (some 48 MB for a path of forty
// letters). It reads as the const std::string it holds; nothing changes it once made.
// Copies share the text, also across threads.

#include <memory>
#include <string>
#include <string_view>

namespace qm {

class TSharedPath {
public:
    TSharedPath() : text_(Empty()) {}
    TSharedPath(std::string path) // NOLINT(google-explicit-constructor): a path is a path
        : text_(path.empty() ? Empty() : std::make_shared<const std::string>(std::move(path))) {}
    TSharedPath(const char* path) : TSharedPath(std::string(path)) {} // NOLINT
    // Never null.
    explicit TSharedPath(std::shared_ptr<const std::string> shared) : text_(std::move(shared)) {
        if (text_ == nullptr)
            text_ = Empty();
    }

    operator const std::string&() const { return *text_; } // NOLINT
    operator std::string_view() const { return *text_; }   // NOLINT
    const std::string& str() const { return *text_; }
    const std::shared_ptr<const std::string>& Shared() const { return text_; }

    bool empty() const { return text_->empty(); }
    std::size_t size() const { return text_->size(); }
    const char* c_str() const { return text_->c_str(); }

    friend bool operator==(const TSharedPath& a, const TSharedPath& b) {
        return a.text_ == b.text_ || *a.text_ == *b.text_;
    }
    friend bool operator==(const TSharedPath& a, const std::string& b) { return *a.text_ == b; }
    friend bool operator==(const TSharedPath& a, std::string_view b) { return *a.text_ == b; }
    friend bool operator==(const TSharedPath& a, const char* b) { return *a.text_ == b; }
    friend std::string operator+(const TSharedPath& a, std::string_view b) {
        std::string joined;
        joined.reserve(a.size() + b.size());
        return joined.append(*a.text_).append(b);
    }

private:
    static const std::shared_ptr<const std::string>& Empty() {
        static const auto none = std::make_shared<const std::string>();
        return none;
    }

    std::shared_ptr<const std::string> text_;
};

} // namespace qm
