#include "rename/namerules.h"
#include "rename/runerror.h"
#include "rename/runrules.h"
#include "runerrorprint.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <vector>

namespace qm::test {
namespace {

// A fault never reads as an errno value nor the other way round, whatever the number: the
// made-up numbers it replaces were errno values to every reader that did not know them.
// Each kind keeps its character only where it names one, and the drive's kinds give the
// words the user reads.
TEST(RunError, AFaultAndAnErrnoValueNeverReadAsEachOther) {
    struct Row {
        const char* title;
        RunError error;
        RunFault fault;
        int errnoValue;
        char32_t character;
        const char* text; // NameRuleErrorText
    };
    const std::vector<Row> rows = {
        {"none", {}, RunFault::None, 0, 0, ""},
        {"errno", EEXIST, RunFault::None, EEXIST, 0, ""},
        {"errno of a made-up number's size", 0x200000 + ':', RunFault::None, 0x200000 + ':', 0, ""},
        {"pattern invalid", RunError::Of(RunFault::PatternInvalid), RunFault::PatternInvalid, 0, 0,
         ""},
        {"pattern limit drops a character", RunError::Of(RunFault::PatternLimit, 'x'),
         RunFault::PatternLimit, 0, 0, ""},
        {"too long", RunError::Of(RunFault::NameTooLong), RunFault::NameTooLong, 0, 0,
         "the new name is longer than this drive allows"},
        {"holds", RunError::Of(RunFault::NameCharacter, 0x1F600), RunFault::NameCharacter, 0,
         0x1F600,
         "the new name holds \u201c\U0001F600\u201d, which this drive does not allow in "
         "a name"},
        {"ends in", RunError::Of(RunFault::NameEnd, '.'), RunFault::NameEnd, 0, '.',
         "the new name ends in \u201c.\u201d, which this drive does not allow"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        EXPECT_EQ(row.error.Fault(), row.fault);
        EXPECT_EQ(row.error.Errno(), row.errnoValue);
        EXPECT_EQ(row.error.Character(), row.character);
        EXPECT_EQ(static_cast<bool>(row.error), row.fault != RunFault::None || row.errnoValue != 0);
        EXPECT_EQ(NameRuleErrorText(row.error), row.text);
    }
    // The kind tells apart what the character alone does not.
    EXPECT_NE(RunError::Of(RunFault::NameCharacter, '.'), RunError::Of(RunFault::NameEnd, '.'));
    EXPECT_NE(RunError::Of(RunFault::NameEnd, '.'), RunError('.'));
    EXPECT_EQ(RunError::Of(RunFault::PatternLimit, 'x'), RunError::Of(RunFault::PatternLimit));
    EXPECT_EQ(PatternError(NameFault::PatternLimit), RunError::Of(RunFault::PatternLimit));
    EXPECT_EQ(PatternError(NameFault::PatternInvalid), RunError::Of(RunFault::PatternInvalid));
    EXPECT_FALSE(PatternError(NameFault::None));
}

} // namespace
} // namespace qm::test
