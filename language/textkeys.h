#pragma once

// The one list of language text keys the program asks for, with what the code does with
// each: which package (and so which language client) serves it, in which form it is read,
// which window and control show it, what the program appends, which placeholders it fills
// in, and among which other captions its accelerator letter must be unique.
//
// The key names are the names the shipped language files use, misspellings included
// ("SEPERATOR", "SHUFFLEPRDER", "Langauge"): correcting one here alone would make its text
// vanish from every language.
//
// Everything here is constant data built at compile time; it may be read from any thread.

#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

// The common package holds the texts the maker's programs share; the program package
// holds every other text. Each is read through its own TDynLang.
enum class TextClient : std::uint8_t { Common, Program };

inline constexpr std::string_view CommonPackageName = "Marlowick Common Langauge Pack";
inline constexpr std::string_view ProgramPackageName = "Marlowick Quillmark";

constexpr std::string_view PackageName(TextClient client) {
    return client == TextClient::Common ? CommonPackageName : ProgramPackageName;
}

// How a text is read: the whole text with its line breaks (GetText), its first line
// (GetLine), or its first line with the accelerator mark (GetKeyedLine). A key read in
// more than one form is listed with the strictest one.
enum class TextForm : std::uint8_t { Text, Line, Keyed };

// What the text is on screen.
enum class TextRole : std::uint8_t {
    Caption, // menu, action, tab, button, check box or field label
    Hint,    // status-line hint of a menu or action
    Title,   // window or dialog title
    Column,  // list column header
    Message, // sentence built into a summary, example, status or message box
};

// Where the text is shown. Common texts that several dialogs share are listed under
// `Dialogs`.
enum class TextWindow : std::uint8_t {
    Main,
    FileList,
    OpenDialog,
    DirectorySelector,
    CustomizeCols,
    SchemeSave,
    RenameProcess,
    RenameResult,
    About,
    Splash,
    Dialogs,
    NamesText,
    History,
};

// Sets of captions shown together, in which no two accelerator letters may be the same:
// the menu bar with the option tabs, the quick buttons with the scheme bar, each menu,
// the controls of each tab, each dialog.
enum class AccelGroup : std::uint8_t {
    MainBar,
    MainButtons,
    FileMenu,
    EditMenu,
    ViewMenu,
    OptionsMenu,
    HelpMenu,
    GeneralTab,
    RemoveTab,
    ReplaceTab,
    InsertTab,
    ShuffleTab,
    FormatTab,
    AboutDialog,
    RenameProcessDialog,
    SchemeSaveDialog,
    DirectoryDialog,
    ColumnsDialog,
    InterruptedRunDialog,
    ListMenu,
    NamesTextDialog,
    KeepMenu,
    HistoryDialog,
};
inline constexpr int AccelGroupCount = static_cast<int>(AccelGroup::HistoryDialog) + 1;

std::string_view AccelGroupName(AccelGroup group);

// A set of AccelGroup values, one bit per group.
using AccelGroups = std::uint32_t;

constexpr AccelGroups InGroup(AccelGroup group) {
    return AccelGroups{1} << static_cast<unsigned>(group);
}

constexpr bool Contains(AccelGroups groups, AccelGroup group) {
    return (groups & InGroup(group)) != 0;
}

struct TextKey {
    std::string_view name; // as written in the language files (matched without regard to case)
    TextClient client;
    TextForm form;
    TextRole role;
    TextWindow window;
    std::string_view control; // object name of the control or action shown, empty when none
    std::string_view suffix;  // what the program appends right after the text, if anything
    // The text must hold "%1" up to "%<placeholders>", each once, where the form reads it
    // (in its first line unless the form is Text); a text with 0 holds no "%<digit>".
    std::uint8_t placeholders;
    AccelGroups accelGroups; // only for Keyed texts; 0 when the letter need not be unique
};

// Every key, grouped by window; each name occurs once.
std::span<const TextKey> TextKeys();

// The entry of `name` compared without regard to ASCII case, or nullptr.
const TextKey* FindTextKey(std::string_view name);

} // namespace qm
