// SPDX-License-Identifier: GPL-3.0-or-later
// The "Error" and "Confirm" message boxes, answered by clicking their buttons.
#include <gtest/gtest.h>

#include <QWidget>

#include "common/ui/message_box.h"
#include "ui/widget_test_util.h"

namespace tarn {
namespace {

using testing::AnswerNextMessageBox;
using testing::SeenBox;

TEST(MessageBox, ErrorHasCaptionTextAndOkOnly) {
  QWidget parent;
  parent.show();
  SeenBox seen;
  AnswerNextMessageBox(&seen, QMessageBox::Ok);
  ShowError(&parent, QStringLiteral("Port Open Error!"));
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.caption, QStringLiteral("Error"));
  EXPECT_EQ(seen.text, QStringLiteral("Port Open Error!"));
  EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(MessageBox, ConfirmAnswersYesOrNo) {
  for (auto [button, expected] :
       {std::pair{QMessageBox::Yes, true}, std::pair{QMessageBox::No, false}}) {
    SeenBox seen;
    AnswerNextMessageBox(&seen, button);
    EXPECT_EQ(AskConfirm(nullptr, QStringLiteral("Current data is not saved. Continue?")),
              expected);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.caption, QStringLiteral("Confirm"));
    EXPECT_EQ(seen.text, QStringLiteral("Current data is not saved. Continue?"));
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  }
}

}  // namespace
}  // namespace tarn
