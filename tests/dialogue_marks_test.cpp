#include "shell/dialogue_marks.h"

#include <gtest/gtest.h>

namespace lumeno {
namespace {

TEST(DialogueMarks, SplitsAtSlashesWithoutEmptyMarks) {
  EXPECT_EQ(parse_dialogue_marks("「/『/（"), (DialogueMarks{"「", "『", "（"}));
  EXPECT_EQ(parse_dialogue_marks("「//『/"), (DialogueMarks{"「", "『"}));
  EXPECT_EQ(parse_dialogue_marks("/"), DialogueMarks{});
  EXPECT_EQ(parse_dialogue_marks(""), DialogueMarks{});
}

TEST(DialogueMarks, RefusesAMarkOfNineBytes) {
  EXPECT_FALSE(parse_dialogue_marks("「/123456789"));
  EXPECT_NE(dialogue_marks_refusal("「/123456789"), "");
  // Eight bytes (four double-byte characters) are accepted.
  EXPECT_EQ(parse_dialogue_marks("「「「「"), DialogueMarks{"「「「「"});
  EXPECT_EQ(dialogue_marks_refusal("「「「「"), "");
}

}  // namespace
}  // namespace lumeno
