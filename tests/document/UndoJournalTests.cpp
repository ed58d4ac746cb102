// The undo journal: budget, labels and the enable switch.
#include <gtest/gtest.h>

#include "document/Undo.h"
#include "document/UndoJournal.h"

namespace movigram {
namespace {

TEST(UndoJournal, BudgetDropsTheOldestButNeverTheNewest) {
    UndoJournal journal;
    EXPECT_GE(journal.budget(), UndoJournal::minimumDefaultBudget);
    journal.setBudget(2 * UndoJournal::mib);
    auto record = [](int64_t bytes, const char* label) {
        auto r = std::make_unique<TUndo>();
        r->bytes = bytes;
        r->label = label;
        return r;
    };
    constexpr int64_t mib = 1 << 20;
    journal.push(record(mib, "one"));
    journal.push(record(mib, "two"));
    EXPECT_EQ(journal.size(), 2u);  // 2 MiB is within the budget
    journal.push(record(mib, "three"));
    EXPECT_EQ(journal.size(), 3u);  // pending until its edit settles it
    EXPECT_EQ(journal.settle(), 1);
    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal.newest()->label, "three");
    journal.push(record(3 * mib, "huge"));
    journal.settle();
    EXPECT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal.menuText(), "&Undo huge\tCtrl+Z");
    journal.setEnabled(false);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(journal.menuText(), "&Undo \tCtrl+Z");
    journal.setEnabled(true);
    EXPECT_TRUE(journal.empty());
    // Records on the redo side count too.
    journal.push(record(mib, "kept"));
    journal.settle();
    EXPECT_EQ(journal.pushRedo(record(3 * mib / 2, "to redo")), 1);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(journal.redoSize(), 1u);
    EXPECT_EQ(undoKindForRotation(90), UndoKind::Rotated270);
    EXPECT_EQ(undoKindForRotation(270), UndoKind::Rotated90);
}

}  // namespace
}  // namespace movigram
