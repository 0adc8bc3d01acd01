#include "app/directory_chooser_model.h"
#include "app/paths.h"
#include "app/shell.h"
#include "support/fake_shell.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zb::app {
namespace {

// Answers questions as told and records them and the message boxes.
using TFakeShell = zb::test::TFakeShell;

using Texts = std::vector<std::string>;
const Texts kCreateQuestion{"Directory doesn't exist. Create?"};
const Texts kCreateFailed{"Failed to create directory!"};

TEST(DirectoryChooser, ExistingDirectoriesAreShownAndChosenWithoutQuestions) {
    test::TTempDir dir;
    TFakeShell shell;
    TDirectoryChooserModel chooser(dir.str(), shell);
    chooser.activate();
    EXPECT_EQ(chooser.editText(), dir.str());
    EXPECT_EQ(chooser.listDirectory(), dir.str());
    chooser.listDirectoryChanged(dir.path().parent_path().string());
    EXPECT_EQ(chooser.editText(), dir.path().parent_path().string());
    chooser.ok();
    EXPECT_EQ(chooser.result(), dir.path().parent_path().string());
    chooser.setEditText("");
    chooser.ok();
    EXPECT_EQ(chooser.result(), "") << "nothing typed: the caller keeps its directory";
    EXPECT_TRUE(shell.questions.empty());
}

TEST(DirectoryChooser, DecliningToCreateKeepsThePreviousDirectory) {
    test::TTempDir dir;
    TFakeShell shell;
    const std::string missing = dir.str() + "/missing";
    TDirectoryChooserModel chooser(missing, shell);
    chooser.listDirectoryChanged(dir.str());
    chooser.activate();
    EXPECT_EQ(shell.questions, kCreateQuestion);
    EXPECT_EQ(chooser.editText(), dir.str()) << "back to the list's directory";
    chooser.setEditText(missing);
    chooser.ok();
    EXPECT_EQ(chooser.result(), "");
    EXPECT_FALSE(directoryExists(missing));
    EXPECT_TRUE(shell.errors.empty());
}

TEST(DirectoryChooser, AgreeingCreatesEveryMissingParent) {
    test::TTempDir dir;
    TFakeShell shell;
    shell.answerYes = true;
    const std::string nested = dir.str() + "/a/b/c";
    TDirectoryChooserModel chooser(nested, shell);
    chooser.activate();
    EXPECT_TRUE(directoryExists(nested));
    EXPECT_EQ(chooser.listDirectory(), nested);
    chooser.setEditText(dir.str() + "/x/y/");
    chooser.ok();
    EXPECT_TRUE(directoryExists(dir.str() + "/x/y"));
    EXPECT_EQ(chooser.result(), dir.str() + "/x/y/");
    EXPECT_TRUE(shell.errors.empty());
}

TEST(DirectoryChooser, DirectoryThatCannotBeCreatedIsReported) {
    test::TTempDir dir;
    TFakeShell shell;
    shell.answerYes = true;
    // Below a plain file nothing can be created, whoever runs the test.
    const std::string impossible = dir.write("file", "x") + "/sub";
    TDirectoryChooserModel chooser(dir.str(), shell);
    chooser.activate();
    chooser.setEditText(impossible);
    chooser.editCheck();
    EXPECT_EQ(shell.errors, kCreateFailed);
    EXPECT_EQ(chooser.editText(), dir.str());
    chooser.setEditText(impossible);
    chooser.ok();
    EXPECT_EQ(chooser.result(), "");
    EXPECT_EQ(shell.errors.size(), 2U);
}

} // namespace
} // namespace zb::app
