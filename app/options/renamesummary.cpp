#include "app/options/renamesummary.h"

#include "language/placeholders.h"

namespace qm {

void AppendSummaryItem(std::string& summary, const std::string& item) {
    if (!summary.empty()) {
        summary += "  -  ";
    }
    summary += item;
}

std::string BuildRenameSummary(const RenameOptionSet& o, const TextLookup& text) {
    std::string summary;
    // A missing language text is empty, so an empty summary does not mean "nothing applied".
    bool any = false;
    const auto add = [&](const std::string& item) {
        AppendSummaryItem(summary, item);
        any = true;
    };
    const auto quoted = [](const std::string& s) {
        return "\"" + s + "\"";
    };
    const auto with1 = [&](const char* key, const std::string& v1) {
        return FillPlaceholders(text(key), {v1});
    };
    const auto with2 = [&](const char* key, const std::string& v1, const std::string& v2) {
        return FillPlaceholders(text(key), {v1, v2});
    };
    const auto num = [](std::int32_t n) {
        return std::to_string(n);
    };

    if (o.AddFileExtToFilename) {
        add(text("INCLUDEFILEEXT_SUMMARY"));
    }
    if (o.ChangeFileExt) {
        add(text("DEFINENEWFILEEXT_SUMMARY") + " " + quoted(o.ChangeFileExtTo));
    }
    if (o.ReplaceGroup) {
        if (o.ConvertInternetSpaces) {
            add(with1("CONVERTTOSPACE_SUMMARY", quoted("%20")));
        }
        if (o.ConvertUnderscoreSpaces) {
            add(with1("CONVERTTOSPACE_SUMMARY", quoted("_")));
        }
        if (o.ConvertDotSpaces) {
            add(with1("CONVERTTOSPACE_SUMMARY", quoted(".")));
        }
    }
    if (o.RemoveGroup) {
        if (o.RemoveFront) {
            add(with1("REMOVEFRONT_SUMMARY", num(o.RemoveFrontCount)));
        }
        if (o.RemoveAtPosition) {
            add(with2("REMOVEPOSITION_SUMMARY", num(o.RemoveAtPositionCount),
                      num(o.RemoveAtPositionIndex)));
        }
        if (o.RemoveBack) {
            add(with1("REMOVEBACK_SUMMARY", num(o.RemoveBackCount)));
        }
        // Removing every space makes the two lighter space options moot, as in the engine.
        if (o.RemoveAllSpaces) {
            add(text("REMOVEALLSPACES_SUMMARY"));
        } else {
            if (o.RemoveFrontAndBackSpaces) {
                add(text("REMOVEENDSPACES_SUMMARY"));
            }
            if (o.RemoveDoubleSpaces) {
                add(text("REMOVEDOUBLESPACES_SUMMARY"));
            }
        }
    }
    if (o.ReplaceGroup && o.ReplaceEnabled) {
        // One whole text per combination of the two flags: each language words them its
        // own way, and a user who leaves both off sees the item as before.
        const char* key =
            o.ReplaceRegularExpressions
                ? (o.ReplaceIgnoreCase ? "REPLACEREGEXPNOCASE_SUMMARY" : "REPLACEREGEXP_SUMMARY")
                : (o.ReplaceIgnoreCase ? "REPLACETEXTNOCASE_SUMMARY" : "REPLACETEXT_SUMMARY");
        add(with1(key, num(o.ReplaceCount)));
    }
    if (o.InsertGroup) {
        if (o.InsertFront) {
            add(with1("INSERTFRONT_SUMMARY", quoted(o.InsertFrontText)));
        }
        if (o.InsertAtPosition) {
            add(with2("INSERTPOSITION_SUMMARY", quoted(o.InsertAtPositionText),
                      num(o.InsertAtPositionIndex)));
        }
        if (o.InsertBack) {
            add(with1("INSERTBACK_SUMMARY", quoted(o.InsertBackText)));
        }
        // Tags are filled in only in the inserted texts: without one the switch does nothing.
        if (o.InsertTags && (o.InsertFront || o.InsertAtPosition || o.InsertBack)) {
            add(text("INSERTTAGS_SUMMARY"));
        }
        if (o.NumberIncEnabled && o.NumberIncAddFrontSep) {
            add(text("INSERTINCREASINGNUMBERSEPERATOR_SUMMARY"));
        }
        if (o.NumberIncEnabled) {
            add(text("INSERTINCREASINGNUMBER_SUMMARY"));
            if (o.NumberPerFolder) {
                add(text("NUMBERPERFOLDER_SUMMARY"));
            }
        }
    }
    if (o.ShuffleGroup && o.AlterLogicFilename) {
        add(text("SHUFFLEPRDER_SUMMARY"));
    }
    if (o.FormatGroup && o.FormatTextEnabled) {
        add(text("FORMATFILENAME_SUMMARY"));
    }
    // The run's own steps, after every name is made: a group of companions takes one
    // name, a taken name then gets its number, and the move makes the folders it needs.
    if (o.RenameCompanions) {
        add(text("RENAMECOMPANIONS_SUMMARY"));
    }
    if (o.NumberTakenNames) {
        add(text("NUMBERTAKENNAMES_SUMMARY"));
    }
    if (o.CreateFolders) {
        add(text("CREATEFOLDERS_SUMMARY"));
    }
    return any ? summary : text("NOSELECTEDRENAMEOPTIONS_SUMMARY");
}

std::string MarkTabCaption(const std::string& caption, bool inUse) {
    static const std::string mark = TabMark;
    // The mark's last character is the sign itself: a caption ending in it counts as marked.
    static const std::string sign = mark.substr(2);
    const bool marked = caption.size() >= sign.size() &&
                        caption.compare(caption.size() - sign.size(), sign.size(), sign) == 0;
    if (inUse && !marked && !caption.empty()) {
        return caption + mark;
    }
    if (!inUse && marked) {
        // Three characters, not bytes: a caption may end in the sign without the spaces.
        std::size_t end = caption.size();
        for (int n = 0; n < 3 && end > 0; ++n) {
            do {
                --end;
            } while (end > 0 && (static_cast<unsigned char>(caption[end]) & 0xC0) == 0x80);
        }
        return caption.substr(0, end);
    }
    return caption;
}

bool GeneralTabInUse(const RenameOptionSet& options) {
    return options.AddFileExtToFilename || options.ChangeFileExt || options.CreateFolders ||
           options.NumberTakenNames || options.RenameCompanions;
}

} // namespace qm
