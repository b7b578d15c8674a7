#include "language/textkeys.h"

#include <array>
#include <iterator>

namespace qm {

namespace {

using enum TextClient;
using enum TextForm;
using enum TextWindow;
using enum AccelGroup;

constexpr AccelGroups operator|(AccelGroup a, AccelGroup b) {
    return InGroup(a) | InGroup(b);
}

constexpr AccelGroups operator|(AccelGroups a, AccelGroup b) {
    return a | InGroup(b);
}

// A keyed caption of the program package whose accelerator must be unique in `groups`.
constexpr TextKey Caption(std::string_view name, TextWindow window, std::string_view control,
                          std::string_view suffix, AccelGroups groups) {
    return {name, Program, Keyed, TextRole::Caption, window, control, suffix, 0, groups};
}

constexpr TextKey Caption(std::string_view name, std::string_view control, std::string_view suffix,
                          AccelGroup group) {
    return Caption(name, Main, control, suffix, InGroup(group));
}

// The status-line hint that goes with a menu or action caption.
constexpr TextKey Hint(std::string_view name, std::string_view control,
                       std::uint8_t placeholders = 0) {
    return {name, Program, Line, TextRole::Hint, Main, control, {}, placeholders, 0};
}

// A text of the program package read without accelerator.
constexpr TextKey Plain(std::string_view name, TextForm form, TextRole role, TextWindow window,
                        std::string_view control, std::string_view suffix = {},
                        std::uint8_t placeholders = 0) {
    return {name, Program, form, role, window, control, suffix, placeholders, 0};
}

// One item of the rename summary on the General tab.
constexpr TextKey Summary(std::string_view name, std::uint8_t placeholders = 0) {
    return Plain(name, Line, TextRole::Message, Main, "RenameSummary", {}, placeholders);
}

constexpr TextKey Column(std::string_view name, std::string_view control) {
    return Plain(name, Line, TextRole::Column, FileList, control);
}

// A plain array: deducing std::array's size from this many elements goes beyond clang's
// limit on the nesting of a fold expression (256).
constexpr TextKey Keys[]{
    // Common package: texts every program of the maker shares.
    TextKey{"OK",
            Common,
            Keyed,
            TextRole::Caption,
            Dialogs,
            "OkBtn",
            {},
            0,
            AboutDialog | SchemeSaveDialog | DirectoryDialog | ColumnsDialog | NamesTextDialog},
    TextKey{"CANCEL",
            Common,
            Keyed,
            TextRole::Caption,
            Dialogs,
            "CancelBtn",
            {},
            0,
            RenameProcessDialog | SchemeSaveDialog | DirectoryDialog | ColumnsDialog |
                NamesTextDialog},
    TextKey{"MOVEUP",
            Common,
            Keyed,
            TextRole::Caption,
            CustomizeCols,
            "MoveUpBtn",
            {},
            0,
            InGroup(ColumnsDialog)},
    TextKey{"MOVEDOWN",
            Common,
            Keyed,
            TextRole::Caption,
            CustomizeCols,
            "MoveDownBtn",
            {},
            0,
            InGroup(ColumnsDialog)},
    // The About window shows the whole text and the splash its first line followed by ": ".
    TextKey{"VERSION", Common, Line, TextRole::Caption, About, "VerInfo", ": ", 0, 0},
    TextKey{"BUILD", Common, Line, TextRole::Caption, About, "BuildInfo", ": ", 0, 0},
    // The splash follows it with one space and the date, so it may end in its own ":".
    TextKey{"RELEASEDATE", Common, Line, TextRole::Caption, Splash, {}, " ", 0, 0},
    TextKey{"KILOBYTE", Common, Text, TextRole::Message, FileList, "FileList", {}, 0, 0},

    // Main window: the menu bar and its menus.
    Caption("FILEMENU", "M_File", {}, MainBar),
    Hint("FILEMENU_HINT", "M_File"),
    Caption("EDITMENU", "M_Edit", {}, MainBar),
    Hint("EDITMENU_HINT", "M_Edit"),
    Caption("VIEWMENU", "M_View", {}, MainBar),
    Hint("VIEWMENU_HINT", "M_View"),
    Caption("OPTIONSMENU", "M_Options", {}, MainBar),
    Hint("OPTIONSMENU_HINT", "M_Options"),
    Caption("HELPMENU", "M_Help", {}, MainBar),
    Hint("HELPMENU_HINT", "M_Help"),
    Caption("LANGUAGE", "M_Language", {}, OptionsMenu),
    Hint("LANGUAGE_HINT", "M_Language"),
    // Each item of the Languages menu; "%1" is the language's own name.
    Hint("LANGUAGESELECTION_HINT", "M_Language", 1),

    // File menu; three of its actions are also the quick buttons.
    Caption("ADDFILES", Main, "A_AddFiles", "...", FileMenu | MainButtons),
    Hint("ADDFILES_HINT", "A_AddFiles"),
    Caption("ADDDIRECTORY", "A_AddDirectory", "...", FileMenu),
    Hint("ADDDIRECTORY_HINT", "A_AddDirectory"),
    Caption("REMOVEFILES", Main, "A_RemoveFiles", {}, FileMenu | MainButtons),
    Hint("REMOVEFILES_HINT", "A_RemoveFiles"),
    Caption("REMOVEALLFILES", "A_RemoveAllFiles", {}, FileMenu),
    Hint("REMOVEALLFILES_HINT", "A_RemoveAllFiles"),
    Caption("RENAMEFILES", Main, "A_RenameFiles", {}, FileMenu | MainButtons),
    Hint("RENAMEFILES_HINT", "A_RenameFiles"),
    Caption("EXIT", "A_Exit", {}, FileMenu),
    Hint("EXIT_HINT", "A_Exit"),

    // Edit menu.
    Caption("UNDO", "A_Undo", {}, EditMenu),
    Hint("UNDO_HINT", "A_Undo"),
    Caption("SELECTALL", "A_SelectAll", {}, EditMenu),
    Hint("SELECTALL_HINT", "A_SelectAll"),
    // Also in the file list's own menu.
    Caption("MOVEFILESUP", "A_MoveUp", {}, EditMenu),
    Hint("MOVEFILESUP_HINT", "A_MoveUp"),
    Caption("MOVEFILESDOWN", "A_MoveDown", {}, EditMenu),
    Hint("MOVEFILESDOWN_HINT", "A_MoveDown"),
    Caption("HISTORY", "A_History", "...", EditMenu),
    Hint("HISTORY_HINT", "A_History"),

    // View menu.
    Caption("QUICKBUTTONS", "A_QuickButtons", {}, ViewMenu),
    Hint("QUICKBUTTONS_HINT", "A_QuickButtons"),
    Caption("SETTINGSBAR", "A_SettingsBar", {}, ViewMenu),
    Hint("SETTINGSBAR_HINT", "A_SettingsBar"),
    Caption("STATUSBAR", "A_StatusBar", {}, ViewMenu),
    Hint("STATUSBAR_HINT", "A_StatusBar"),
    Caption("CUSTOMIZECOLUMNS", "A_CustomizeColumns", "...", ViewMenu),
    Hint("CUSTOMIZECOLUMNS_HINT", "A_CustomizeColumns"),

    // Options menu (the Languages submenu is listed with the menus).
    Caption("SAVERENAMESETTINGS", "A_SaveRenameSettings", {}, OptionsMenu),
    Hint("SAVERENAMESETTINGS_HINT", "A_SaveRenameSettings"),
    Caption("INITIALDIRECTORYSELECTIONSETTING", "A_SaveDirectorySettings", {}, OptionsMenu),
    Hint("INITIALDIRECTORYSELECTIONSETTING_HINT", "A_SaveDirectorySettings"),
    Caption("SHOWSUCCESSMESSAGE", "A_ShowSuccessMessage", {}, OptionsMenu),
    Hint("SHOWSUCCESSMESSAGE_HINT", "A_ShowSuccessMessage"),
    Caption("PLANRENAMEORDER", "A_PlanRenameOrder", {}, OptionsMenu),
    Hint("PLANRENAMEORDER_HINT", "A_PlanRenameOrder"),
    Caption("SORTNUMBERSBYVALUE", "A_SortNumbersByValue", {}, OptionsMenu),
    Hint("SORTNUMBERSBYVALUE_HINT", "A_SortNumbersByValue"),
    Caption("RESET", "A_Reset", {}, OptionsMenu),
    Hint("RESET_HINT", "A_Reset"),
    // How long the journals of runs are kept: a submenu of the Options menu.
    Caption("JOURNALKEEP", "M_JournalKeep", {}, OptionsMenu),
    Hint("JOURNALKEEP_HINT", "M_JournalKeep"),
    Caption("KEEP7DAYS", "A_Keep7Days", {}, KeepMenu),
    Hint("KEEP7DAYS_HINT", "A_Keep7Days"),
    Caption("KEEP30DAYS", "A_Keep30Days", {}, KeepMenu),
    Hint("KEEP30DAYS_HINT", "A_Keep30Days"),
    Caption("KEEP1YEAR", "A_Keep1Year", {}, KeepMenu),
    Hint("KEEP1YEAR_HINT", "A_Keep1Year"),
    Caption("KEEPFOREVER", "A_KeepForEver", {}, KeepMenu),
    Hint("KEEPFOREVER_HINT", "A_KeepForEver"),

    // Help menu; "%1" in the web hints is the page's address.
    Caption("WEBMARLOWICKHOMEPAGE", "A_WebMKHP", {}, HelpMenu),
    Hint("WEBMARLOWICKHOMEPAGE_HINT", "A_WebMKHP", 1),
    Caption("WEBQUILLMARKHOMEPAGE", "A_WebQMHP", {}, HelpMenu),
    Hint("WEBQUILLMARKHOMEPAGE_HINT", "A_WebQMHP", 1),
    Caption("ABOUT", "A_About", "...", HelpMenu),
    Hint("ABOUT_HINT", "A_About"),

    // Scheme bar. The reset button has a caption of its own and shows the action's hint.
    Caption("SCHEME", "SetsInfo", ":", MainButtons),
    Caption("SAVESCHEMEAS", "A_SaveSchemeAs", "...", MainButtons),
    Hint("SAVESCHEMEAS_HINT", "A_SaveSchemeAs"),
    Caption("DELETESCHEME", "A_DeleteScheme", {}, MainButtons),
    Hint("DELETESCHEME_HINT", "A_DeleteScheme"),
    Caption("RESET_QUICKBUTTON", "ResetBtn", {}, MainButtons),

    // General tab.
    Caption("GENERALTAB", "GeneralTab", {}, MainBar),
    Plain("RENAMESUMMARY", Line, TextRole::Caption, Main, "RenameSummaryInfo", ":"),
    Caption("INCLUDEFILEEXT", "AppendExt", {}, GeneralTab),
    Caption("DEFINENEWFILEEXT", "ChangeExtInfo", ":", GeneralTab),
    // The options for organizing, each with its tool tip.
    Caption("CREATEFOLDERS", "CreateFolders", {}, GeneralTab),
    Hint("CREATEFOLDERS_HINT", "CreateFolders"),
    Caption("NUMBERTAKENNAMES", "NumberTakenNames", {}, GeneralTab),
    Hint("NUMBERTAKENNAMES_HINT", "NumberTakenNames"),
    Caption("RENAMECOMPANIONS", "RenameCompanions", {}, GeneralTab),
    Hint("RENAMECOMPANIONS_HINT", "RenameCompanions"),
    // The form of a taken name with its number: "%1" the name without its extension, "%2"
    // the number; the extension follows.
    Plain("TAKENNAMEFORM", Line, TextRole::Message, Main, {}, {}, 2),

    // Remove tab.
    Caption("REMOVETAB", "TrimTab", {}, MainBar),
    Caption("APPLYREMOVETAB", "TrimGroup", {}, RemoveTab),
    Caption("REMOVEFRONT", "RemoveFrontInfo", ":", RemoveTab),
    Caption("REMOVEPOSITION", "RemovePosInfo", ":", RemoveTab),
    Caption("REMOVEATPOSITION", "RemoveAtPosInfo", ":", RemoveTab),
    Caption("REMOVEBACK", "RemoveBackInfo", ":", RemoveTab),
    Caption("REMOVEENDSPACES", "TrimSpaces", {}, RemoveTab),
    Caption("REMOVEDOUBLESPACES", "RemoveDoubleSpace", {}, RemoveTab),
    Caption("REMOVEALLSPACES", "RemoveAllSpaces", {}, RemoveTab),

    // Replace tab.
    Caption("REPLACETAB", "ReplaceTab", {}, MainBar),
    Caption("APPLYREPLACETAB", "ReplaceGroup", {}, ReplaceTab),
    Plain("CONVERTTOSPACES", Line, TextRole::Caption, Main, "ConvertToSpaceInfo", ":"),
    Caption("REPLACETEXT", "ReplaceInfo", ":", ReplaceTab),
    Caption("REPLACETEXTWITH", "ReplaceWithInfo", ":", ReplaceTab),
    Caption("REPLACEADD_BUTTON", "ReplaceAddBtn", {}, ReplaceTab),
    Caption("REPLACEREMOVE_BUTTON", "ReplaceRemoveBtn", {}, ReplaceTab),
    Plain("REPLACETEXT_COLUMN", Line, TextRole::Column, Main, "ReplaceList"),
    Plain("REPLACETEXTWITH_COLUMN", Line, TextRole::Column, Main, "ReplaceList"),
    // Find texts as regular expressions, and the note under the find field: why a find
    // text was not added ("%1" the character, "%2" PCRE2's reason), or which pair of the
    // list does not compile ("%1" its find text).
    Caption("REPLACEREGEXP", "ReplaceRegExp", {}, ReplaceTab),
    Caption("REPLACEIGNORECASE", "ReplaceIgnoreCase", {}, ReplaceTab),
    Plain("REPLACEPATTERNREFUSED", Line, TextRole::Message, Main, "ReplacePatternInfo", {}, 2),
    Plain("REPLACEPATTERNPAIR", Line, TextRole::Message, Main, "ReplacePatternInfo", {}, 3),

    // Insert tab.
    Caption("INSERTTAB", "InsertTab", {}, MainBar),
    Caption("APPLYINSERTTAB", "InsertGroup", {}, InsertTab),
    Caption("INSERTFRONT", "InsertFrontInfo", ":", InsertTab),
    Caption("INSERTPOSITION", "InsertPosInfo", ":", InsertTab),
    Caption("INSERTATPOSITION", "InsertAtPosInfo", ":", InsertTab),
    Caption("INSERTBACK", "InsertBackInfo", ":", InsertTab),
    Caption("INSERTINCREASINGNUMBER", "IncValueInfo", ":", InsertTab),
    Caption("INSERTINCREASINGNUMBERLENGTH", "IncLengthInfo", ":", InsertTab),
    Caption("INSERTINCREASINGNUMBERFORMAT", "IncFormatInfo", ":", InsertTab),
    Caption("INSERTINCREASINGNUMBERSEPERATOR", "IncSepInfo", {}, InsertTab),
    Caption("NUMBERPERFOLDER", "NumberPerFolder", {}, InsertTab),
    Hint("NUMBERPERFOLDER_HINT", "NumberPerFolder"),
    // The switch that fills in tags; "%1" is an example tag, which the program supplies.
    TextKey{"INSERTTAGS",
            Program,
            Keyed,
            TextRole::Caption,
            Main,
            "InsertTags",
            {},
            1,
            InGroup(InsertTab)},
    // The "Tags" buttons beside the three insert fields and their menus. Three buttons
    // show each text, so the menus set them themselves; the buttons carry no accelerator,
    // since all three would share its letter. The button's spoken name holds the field's
    // name as "%1".
    Plain("INSERTTAGS_BUTTON", Line, TextRole::Caption, Main, {}),
    Plain("INSERTTAGS_HINT", Line, TextRole::Hint, Main, {}),
    Plain("INSERTTAGS_BUTTONNAME", Line, TextRole::Message, Main, {}, {}, 1),
    Plain("TAGTAKENDAY", Line, TextRole::Caption, Main, {}),
    Plain("TAGTAKENORMODIFIEDDAY", Line, TextRole::Caption, Main, {}),
    Plain("TAGTRACKTWODIGITS", Line, TextRole::Caption, Main, {}),
    Plain("TAGTRACKANDTITLE", Line, TextRole::Caption, Main, {}),
    Plain("TAGSFILE", Line, TextRole::Caption, Main, {}),
    Plain("TAGMODIFIED", Line, TextRole::Caption, Main, {}),
    Plain("TAGSIZE", Line, TextRole::Caption, Main, {}),
    Plain("TAGFOLDER", Line, TextRole::Caption, Main, {}),
    Plain("TAGSPHOTO", Line, TextRole::Caption, Main, {}),
    Plain("TAGTAKEN", Line, TextRole::Caption, Main, {}),
    Plain("TAGMAKE", Line, TextRole::Caption, Main, {}),
    Plain("TAGMODEL", Line, TextRole::Caption, Main, {}),
    Plain("TAGWIDTH", Line, TextRole::Caption, Main, {}),
    Plain("TAGHEIGHT", Line, TextRole::Caption, Main, {}),
    Plain("TAGSMUSIC", Line, TextRole::Caption, Main, {}),
    Plain("TAGARTIST", Line, TextRole::Caption, Main, {}),
    Plain("TAGALBUMARTIST", Line, TextRole::Caption, Main, {}),
    Plain("TAGALBUM", Line, TextRole::Caption, Main, {}),
    Plain("TAGTITLE", Line, TextRole::Caption, Main, {}),
    Plain("TAGTRACK", Line, TextRole::Caption, Main, {}),
    Plain("TAGDISC", Line, TextRole::Caption, Main, {}),
    Plain("TAGYEAR", Line, TextRole::Caption, Main, {}),
    Plain("TAGGENRE", Line, TextRole::Caption, Main, {}),
    // Month names for the tags' MMM and MMMM: twelve each, separated by ",".
    Plain("MONTHNAMESSHORT", Line, TextRole::Message, Main, {}),
    Plain("MONTHNAMES", Line, TextRole::Message, Main, {}),

    // Shuffle tab.
    Caption("SHUFFLETAB", "ShuffleTab", {}, MainBar),
    Caption("APPLYSHUFFLETAB", "ShuffleGroup", {}, ShuffleTab),
    Caption("SHUFFLEORDER", "MoveInfo", ":", ShuffleTab),
    Caption("SHUFFLESEPERATOR", "MoveSepInfo", ":", ShuffleTab),

    // Format tab.
    Caption("FORMATTAB", "FormatTab", {}, MainBar),
    Caption("APPLYFORMATTAB", "FormatGroup", {}, FormatTab),
    Caption("FORMATFILENAME", "FormatInfo", {}, FormatTab),
    Caption("FORMATSHUFFLEBLOCKS", "FormatLogicBlocks", {}, FormatTab),
    Caption("FORMATWORDS", "FormatWords", {}, FormatTab),
    Plain("FORMATNORMALLETTERS", Line, TextRole::Caption, Main, "FormatLettersInfo", ":"),
    Caption("FORMATNORMALFIRSTLETTER", "FormatFirstLetterUp", {}, FormatTab),
    Caption("FORMATNORMALOTHERLETTERS", "FormatOtherLettersUp", {}, FormatTab),
    Plain("FORMATSPECIALLETTERS", Line, TextRole::Caption, Main, "FormatSpecialLettersInfo", ":"),
    Caption("FORMATSPECIALFIRSTLETTER", "FormatSpecialFirstUp", {}, FormatTab),
    Caption("FORMATSPECIALOTHERLETTERS", "FormatSpecialOtherUp", {}, FormatTab),
    Caption("FORMATSPECIALWORDS", "FormatSpecialWordsInfo", ":", FormatTab),

    // Rename summary, in the order its items appear. Each placeholder is replaced once.
    Summary("INCLUDEFILEEXT_SUMMARY"),
    Summary("DEFINENEWFILEEXT_SUMMARY"),
    Summary("CONVERTTOSPACE_SUMMARY", 1),
    Summary("REMOVEFRONT_SUMMARY", 1),
    Summary("REMOVEPOSITION_SUMMARY", 2),
    Summary("REMOVEBACK_SUMMARY", 1),
    Summary("REMOVEALLSPACES_SUMMARY"),
    Summary("REMOVEENDSPACES_SUMMARY"),
    Summary("REMOVEDOUBLESPACES_SUMMARY"),
    Summary("REPLACETEXT_SUMMARY", 1),
    Summary("REPLACETEXTNOCASE_SUMMARY", 1),
    Summary("REPLACEREGEXP_SUMMARY", 1),
    Summary("REPLACEREGEXPNOCASE_SUMMARY", 1),
    Summary("INSERTFRONT_SUMMARY", 1),
    Summary("INSERTPOSITION_SUMMARY", 2),
    Summary("INSERTBACK_SUMMARY", 1),
    Summary("INSERTTAGS_SUMMARY"),
    Summary("INSERTINCREASINGNUMBERSEPERATOR_SUMMARY"),
    Summary("INSERTINCREASINGNUMBER_SUMMARY"),
    Summary("NUMBERPERFOLDER_SUMMARY"),
    Summary("SHUFFLEPRDER_SUMMARY"),
    Summary("FORMATFILENAME_SUMMARY"),
    Summary("RENAMECOMPANIONS_SUMMARY"),
    Summary("NUMBERTAKENNAMES_SUMMARY"),
    Summary("CREATEFOLDERS_SUMMARY"),
    Summary("NOSELECTEDRENAMEOPTIONS_SUMMARY"),

    // Status line: the example for the selected file is this text, ": " and the new name.
    Plain("NEWFILENAMEEXAMPLE", Line, TextRole::Message, Main, "FileExample", ": "),
    Plain("NONEWFILENAMEEXAMPLE", Line, TextRole::Message, Main, "FileExample"),
    // After the example: how many files would not get the name the list shows.
    Plain("PREDICTCOUNTONE", Line, TextRole::Message, Main, "FileExample"),
    Plain("PREDICTCOUNT", Line, TextRole::Message, Main, "FileExample", {}, 1),
    // Then the rows whose tags have no value or are not understood, and a read of tags
    // under way (also in the progress window of a run, before its first rename).
    Plain("PREDICTNOTAKENCOUNTONE", Line, TextRole::Message, Main, "FileExample"),
    Plain("PREDICTNOTAKENCOUNT", Line, TextRole::Message, Main, "FileExample", {}, 1),
    Plain("PREDICTNOTAGCOUNTONE", Line, TextRole::Message, Main, "FileExample"),
    Plain("PREDICTNOTAGCOUNT", Line, TextRole::Message, Main, "FileExample", {}, 1),
    Plain("PREDICTTAGUNKNOWNCOUNTONE", Line, TextRole::Message, Main, "FileExample"),
    Plain("PREDICTTAGUNKNOWNCOUNT", Line, TextRole::Message, Main, "FileExample", {}, 1),
    Plain("READINGTAGS", Line, TextRole::Message, Main, "FileExample", {}, 2),

    // Tool tips of the rows that the prediction of the run marks in the new-name column.
    // A failure is PREDICTFAILS with one of the reasons after it.
    Plain("PREDICTFAILS", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTEXISTS", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTTAKEN", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTTOOLONG", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTBADCHAR", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTINVALID", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTMISSING", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTNOACCESS", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTREADONLY", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTPATTERNINVALID", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTPATTERNLIMIT", Line, TextRole::Message, FileList, "FileList"),
    // A new name the folder's drive refuses: the character it holds or ends in.
    Plain("PREDICTDRIVECHAR", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTDRIVEEND", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTDRIVELONG", Line, TextRole::Message, FileList, "FileList"),
    // Making folders: a part of the new name that names no folder to make, a folder it
    // names that is a file; and a file left as a companion renamed with it could not be.
    Plain("PREDICTFOLDERPART", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTFOLDERISFILE", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTCOMPANIONFAILED", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTSHIFTED", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTKEEPS", Line, TextRole::Message, FileList, "FileList"),
    // Renamed to the numbered form ("%1") of the name shown, which is taken.
    Plain("PREDICTNUMBERED", Line, TextRole::Message, FileList, "FileList", {}, 1),
    // Renamed to "%1" with the files that share its name.
    Plain("PREDICTCOMPANION", Line, TextRole::Message, FileList, "FileList", {}, 1),
    // PREDICTFAILS naming the name the run tries where the column shows another.
    Plain("PREDICTFAILSAS", Line, TextRole::Message, FileList, "FileList", {}, 2),
    // A row whose tag has no value ("taken", or another named) or is not understood.
    Plain("PREDICTNOTAKEN", Line, TextRole::Message, FileList, "FileList"),
    Plain("PREDICTNOTAG", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("PREDICTTAGUNKNOWN", Line, TextRole::Message, FileList, "FileList"),

    // File list columns.
    Column("FILENAME_COLUMN", "FileList"),
    Column("LOCATION_COLUMN", "FileList"),
    Column("NEWFILENAME_COLUMN", "FileList"),
    Column("PREVFILENAME_COLUMN", "FileList"),
    Column("TYPENAME_COLUMN", "FileList"),
    Column("SIZE_COLUMN", "FileList"),
    Column("ATTRIBUTE_COLUMN", "FileList"),
    Column("MODDATE_COLUMN", "FileList"),

    // File dialog for adding files.
    Plain("SELECTFILETITLE", Line, TextRole::Title, OpenDialog, "OpenDlg"),
    Plain("SELECTFILEALLFILESFILTER", Line, TextRole::Message, OpenDialog, "OpenDlg"),

    // Folder dialog.
    Plain("SELECTFOLDERTITLE", Line, TextRole::Title, DirectorySelector, {}),
    Plain("SELECTFOLDER", Line, TextRole::Caption, DirectorySelector, "FoldersInfo", ":"),
    Caption("INCLUDESUBFOLDERS", DirectorySelector, "SelectSubFolders", {},
            InGroup(DirectoryDialog)),

    // Column dialog.
    Plain("CUSTOMIZECOLUMNSTITLE", Text, TextRole::Title, CustomizeCols, {}),
    Caption("CUSTOMIZECOLUMNSNAMES", CustomizeCols, "ColListInfo", ":", InGroup(ColumnsDialog)),

    // Scheme save dialog.
    Plain("SCHEMESAVEASTITLE", Text, TextRole::Title, SchemeSave, {}),
    Caption("SCHEMENAME", SchemeSave, "SchemesInfo", ":", InGroup(SchemeSaveDialog)),

    // Progress window; the worker also writes the two name labels, as "text: name".
    Plain("RENAMEPROCESSTITLE", Line, TextRole::Title, RenameProcess, {}, "..."),
    Plain("RENAMEFROMNAME", Line, TextRole::Caption, RenameProcess, "FromNameInfo", ":"),
    Plain("RENAMETONAME", Line, TextRole::Caption, RenameProcess, "ToNameInfo", ":"),
    Plain("RENAMESECONDSLEFT", Line, TextRole::Message, RenameProcess, "EstimatedInfo"),
    Plain("RENAMEMINUTESLEFT", Line, TextRole::Message, RenameProcess, "EstimatedInfo"),

    // Closing messages of a rename and an undo run: "%1" done, "%2" not done.
    Plain("DONERENAME", Text, TextRole::Message, RenameResult, {}, {}, 2),
    Plain("UNDONERENAME", Text, TextRole::Message, RenameResult, {}, {}, 2),
    // After them: the files that got another number than the list showed for a taken name,
    // as another program took the name shown meanwhile ("%1" how many).
    Plain("TOOKOTHERNUMBERONE", Line, TextRole::Message, RenameResult, {}),
    Plain("TOOKOTHERNUMBER", Line, TextRole::Message, RenameResult, {}, {}, 1),

    // The run journal: a run it could not record ("%1" why), and the offer at start-up to
    // undo an interrupted run ("%1" its time, "%2" its files, "%3" those still renamed).
    Plain("JOURNALNOTWRITTEN", Text, TextRole::Message, RenameResult, {}, {}, 1),
    Plain("JOURNALINCOMPLETE", Text, TextRole::Message, RenameResult, {}, {}, 1),
    Plain("INTERRUPTEDRUN", Text, TextRole::Message, RenameResult, {}, {}, 3),
    Plain("UNDOINGRUN", Text, TextRole::Message, RenameResult, {}),
    // What an undo from the journal left: "%1" files not back; "%1" files also still under
    // a new name that could not be shown to be the same file.
    Plain("UNDONEPARTLY", Text, TextRole::Message, RenameResult, {}, {}, 1),
    Plain("UNDONEBOTHNAMES", Text, TextRole::Message, RenameResult, {}, {}, 1),
    // Its three answers.
    Caption("INTERRUPTEDUNDO", RenameResult, "InterruptedUndo", {}, InGroup(InterruptedRunDialog)),
    Caption("INTERRUPTEDKEEP", RenameResult, "InterruptedKeep", {}, InGroup(InterruptedRunDialog)),
    Caption("INTERRUPTEDLATER", RenameResult, "InterruptedLater", {},
            InGroup(InterruptedRunDialog)),

    // About window; its title is this text followed by " Quillmark".
    Plain("ABOUTTITLE", Line, TextRole::Title, About, {}, " Quillmark"),

    // Names typed by hand: the list's context menu and the Edit menu, the editor's refusal
    // of an empty name, the cell's tool tip ("%1" the options' name), the status line's
    // count, and the dialog of the names as text ("%1" a line number or a count of lines,
    // "%2" the count of files; the refusal to open names the file as "%1").
    Caption("EDITNEWNAME", "A_EditNewName", {}, ListMenu),
    Hint("EDITNEWNAME_HINT", "A_EditNewName"),
    Caption("USEOPTIONSNAME", "A_UseOptionsName", {}, ListMenu),
    Hint("USEOPTIONSNAME_HINT", "A_UseOptionsName"),
    Caption("EDITNAMESASTEXT", Main, "A_EditNamesAsText", "...", EditMenu | ListMenu),
    Hint("EDITNAMESASTEXT_HINT", "A_EditNamesAsText"),
    Caption("FORGETHANDNAMES", "A_ForgetHandNames", {}, EditMenu),
    Hint("FORGETHANDNAMES_HINT", "A_ForgetHandNames"),
    Plain("HANDNAMEEMPTY", Line, TextRole::Message, FileList, "FileList"),
    Plain("HANDNAMETIP", Line, TextRole::Message, FileList, "FileList", {}, 1),
    Plain("HANDNAMECOUNTONE", Line, TextRole::Message, Main, "FileExample"),
    Plain("HANDNAMECOUNT", Line, TextRole::Message, Main, "FileExample", {}, 1),
    Summary("HANDNAMESUMMARYONE"),
    Summary("HANDNAMESUMMARY", 1),
    Plain("NAMESTEXTTITLE", Text, TextRole::Title, NamesText, {}),
    Caption("NAMESTEXTLIST", NamesText, "NamesInfo", ":", InGroup(NamesTextDialog)),
    Plain("NAMESTEXTLINECOUNT", Line, TextRole::Message, NamesText, "NamesNote", {}, 2),
    Plain("NAMESTEXTEMPTYLINE", Line, TextRole::Message, NamesText, "NamesNote", {}, 1),
    Plain("NAMESTEXTNUL", Line, TextRole::Message, NamesText, "NamesNote", {}, 1),
    Plain("NAMESTEXTLINEBREAK", Line, TextRole::Message, Main, {}, {}, 1),

    // The history of renames: the runs journaled, the renames of the one selected, and
    // taking it back.
    Plain("HISTORYTITLE", Line, TextRole::Title, History, {}),
    Caption("HISTORYRUNS", History, "HistoryRunsInfo", ":", InGroup(HistoryDialog)),
    Caption("HISTORYMOVES", History, "HistoryMovesInfo", ":", InGroup(HistoryDialog)),
    Caption("HISTORYUNDO", History, "HistoryUndo", {}, InGroup(HistoryDialog)),
    Caption("HISTORYCLOSE", History, "HistoryClose", {}, InGroup(HistoryDialog)),
    Plain("HISTORYWHEN", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYWHERE", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYBY", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYRENAMED", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYUNCHANGED", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYFAILED", Line, TextRole::Column, History, "HistoryRuns"),
    Plain("HISTORYSTATE", Line, TextRole::Column, History, "HistoryRuns"),
    // A run's cells: "%1" folders, "%1" renames announced by a run that was not closed,
    // "%1" why a journal cannot be read.
    Plain("HISTORYFOLDERS", Line, TextRole::Message, History, "HistoryRuns", {}, 1),
    Plain("HISTORYPLANNED", Line, TextRole::Message, History, "HistoryRuns", {}, 1),
    Plain("HISTORYBYWINDOW", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYBYCOMMANDLINE", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYBYUNDO", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYBYUNKNOWN", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYNOTSTARTED", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYINTERRUPTED", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYCANCELLED", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYFINISHED", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYGOINGON", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYUNDONE", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYUNDOTAKENBACK", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYPARTLYUNDONE", Line, TextRole::Message, History, "HistoryRuns", {}, 1),
    Plain("HISTORYPARTLYUNDONESOME", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYKEPT", Line, TextRole::Message, History, "HistoryRuns"),
    Plain("HISTORYDAMAGED", Line, TextRole::Message, History, "HistoryRuns", {}, 1),
    Plain("HISTORYNEWER", Line, TextRole::Message, History, "HistoryRuns", {}, 1),
    // The renames of the selected run, and what became of each.
    Plain("HISTORYOLDNAME", Line, TextRole::Column, History, "HistoryMoves"),
    Plain("HISTORYNEWNAME", Line, TextRole::Column, History, "HistoryMoves"),
    Plain("HISTORYOUTCOME", Line, TextRole::Column, History, "HistoryMoves"),
    Plain("HISTORYFOLDER", Line, TextRole::Column, History, "HistoryMoves"),
    Plain("HISTORYMOVEDONE", Line, TextRole::Message, History, "HistoryMoves"),
    Plain("HISTORYMOVEFAILED", Line, TextRole::Message, History, "HistoryMoves"),
    Plain("HISTORYMOVENOTREACHED", Line, TextRole::Message, History, "HistoryMoves"),
    Plain("HISTORYMOVEUNKNOWN", Line, TextRole::Message, History, "HistoryMoves"),
    Plain("HISTORYFOLDERMADE", Line, TextRole::Message, History, "HistoryMoves"),
    Plain("HISTORYREADING", Line, TextRole::Message, History, "HistoryMovesNote"),
    Plain("HISTORYUNREADABLE", Line, TextRole::Message, History, "HistoryMovesNote", {}, 1),
    // Why the selected run cannot be taken back; "%1" the reason in other words.
    Plain("HISTORYREFUSEDAMAGED", Line, TextRole::Message, History, "HistoryRefusal"),
    Plain("HISTORYREFUSEGOINGON", Line, TextRole::Message, History, "HistoryRefusal"),
    Plain("HISTORYREFUSEUNDONE", Line, TextRole::Message, History, "HistoryRefusal"),
    Plain("HISTORYREFUSEREDONE", Line, TextRole::Message, History, "HistoryRefusal"),
    Plain("HISTORYREFUSEOTHER", Line, TextRole::Message, History, "HistoryRefusal", {}, 1),
    // The question before the undo: "%1" the run's time, "%2" its files; for a run, and
    // for an undo taken back.
    Plain("HISTORYCONFIRM", Text, TextRole::Message, History, {}, {}, 2),
    Plain("HISTORYCONFIRMUNDO", Text, TextRole::Message, History, {}, {}, 2),
    Plain("HISTORYUNDOING", Text, TextRole::Message, History, {}),
};

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

constexpr bool NamesAreUnique() {
    for (std::size_t i = 0; i < std::size(Keys); ++i) {
        for (std::size_t j = i + 1; j < std::size(Keys); ++j) {
            if (EqualNoCase(Keys[i].name, Keys[j].name)) {
                return false;
            }
        }
    }
    return true;
}

// The library looks a name up without regard to case and stops at the first match, so a
// second entry of the same name would describe a text that can never be read.
static_assert(NamesAreUnique(), "a text key is listed twice");

constexpr std::array<std::string_view, AccelGroupCount> GroupNames{
    "menu bar and option tabs",
    "quick buttons and scheme bar",
    "File menu",
    "Edit menu",
    "View menu",
    "Options menu",
    "Help menu",
    "General tab",
    "Remove tab",
    "Replace tab",
    "Insert tab",
    "Shuffle tab",
    "Format tab",
    "About window",
    "progress window",
    "scheme save dialog",
    "folder dialog",
    "column dialog",
    "interrupted-run question",
    "file list's menu",
    "names-as-text dialog",
    "journal keeping menu",
    "history window",
};

} // namespace

std::string_view AccelGroupName(AccelGroup group) {
    const auto index = static_cast<std::size_t>(group);
    return index < GroupNames.size() ? GroupNames[index] : std::string_view{};
}

std::span<const TextKey> TextKeys() {
    return Keys;
}

const TextKey* FindTextKey(std::string_view name) {
    for (const TextKey& key : Keys) {
        if (EqualNoCase(key.name, name)) {
            return &key;
        }
    }
    return nullptr;
}

} // namespace qm
