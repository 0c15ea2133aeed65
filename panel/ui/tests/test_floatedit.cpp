#include "floatedit.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "errorbox.h"

namespace {

// A window with the field under test and a second field to move the focus to.
class FloatEditTest : public ::testing::Test {
public:  // the table rows below act through the fixture
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window_);
        edit_ = new TFloatEdit(&window_);
        other_ = new QLineEdit(&window_);
        layout->addWidget(edit_);
        layout->addWidget(other_);
        edit_->OnChanged = [this](TFloatEdit* sender) {
            EXPECT_EQ(sender, edit_);
            ++changed_;
            log_.push_back("changed");
        };
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
        other_->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return other_->hasFocus(); }));
        // The window's activation gave the field the focus first; leaving it committed.
        resetCounts();
    }
    void TearDown() override { SetErrorBoxPresenter({}); }

    // The address fields of the main window.
    void configureAddress()
    {
        edit_->SetDigits(0);
        edit_->SetPrec(4);
        edit_->SetMinValue(-0.1);
        edit_->SetMaxValue(127);
        resetCounts();
    }
    void focusEdit()
    {
        edit_->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([this] { return edit_->hasFocus(); }));
    }
    void leaveEdit()
    {
        other_->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([this] { return other_->hasFocus(); }));
    }
    // Enters the field, replaces its text by typing and presses Enter.
    void typeAndEnter(const QString& text)
    {
        focusEdit();
        QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit_, text);
        QTest::keyClick(edit_, Qt::Key_Return);
    }
    void resetCounts()
    {
        changed_ = 0;
        log_.clear();
    }

    QWidget window_;
    TFloatEdit* edit_ = nullptr;
    QLineEdit* other_ = nullptr;
    int changed_ = 0;
    std::vector<std::string> log_;
};

TEST_F(FloatEditTest, NewControlHasTheDefaults)
{
    TFloatEdit fresh;
    EXPECT_EQ(fresh.Format(), TFloatFormat::Fixed);
    EXPECT_EQ(fresh.Digits(), 5);
    EXPECT_EQ(fresh.Precision(), 5);
    EXPECT_TRUE(fresh.MinMaxCheck());
    EXPECT_EQ(fresh.MinValue(), -10);
    EXPECT_EQ(fresh.MaxValue(), 10);
    EXPECT_EQ(fresh.Value(), 0);
    EXPECT_TRUE(fresh.ValueVisible());
    EXPECT_EQ(fresh.text(), "0.00000");
    EXPECT_FALSE(fresh.OnChanged || fresh.OnValidateValue || fresh.OnOutOfBounds || fresh.OnError ||
                 fresh.OnEnterPress || fresh.OnExit || fresh.OnEnter || fresh.OnKeyDown);
}

TEST_F(FloatEditTest, PropertiesAreSetTheWayAFormSetsThem)
{
    // In the order a Designer form writes them.
    EXPECT_TRUE(edit_->setProperty("Format", 2));
    EXPECT_TRUE(edit_->setProperty("Digits", 0));
    EXPECT_TRUE(edit_->setProperty("Precision", 4));
    EXPECT_TRUE(edit_->setProperty("MinMaxCheck", true));
    EXPECT_TRUE(edit_->setProperty("MinValue", 1.0));
    EXPECT_TRUE(edit_->setProperty("MaxValue", 1000.0));
    EXPECT_TRUE(edit_->setProperty("Value", 1.0));
    EXPECT_TRUE(edit_->setProperty("ValueVisible", true));
    EXPECT_EQ(edit_->Value(), 1);
    EXPECT_EQ(edit_->text(), "1");
    EXPECT_EQ(edit_->property("MaxValue").toDouble(), 1000.0);
    edit_->setProperty("Format", 9);  // not a format: ignored
    EXPECT_EQ(edit_->Format(), TFloatFormat::Fixed);
    edit_->SetFormat(TFloatFormat::General);
    edit_->SetMinValue(0);
    edit_->SetValue(0.25);
    EXPECT_EQ(edit_->text(), "0.25");
}

TEST_F(FloatEditTest, OnChangedCountsFollowTheTable)
{
    struct Row {
        const char* action;
        std::function<void(FloatEditTest&)> act;
        int events;
        double value;
    };
    const Row rows[] = {
        {"setting the value it already has", [](FloatEditTest& t) { t.edit_->SetValue(0); }, 0, 0},
        {"setting a new value within the limits", [](FloatEditTest& t) { t.edit_->SetValue(5); }, 1,
         5},
        {"setting a value above the limits", [](FloatEditTest& t) { t.edit_->SetValue(50); }, 2,
         10},
        {"setting a value below the limits", [](FloatEditTest& t) { t.edit_->SetValue(-50); }, 2,
         -10},
        {"committing a changed valid text", [](FloatEditTest& t) { t.typeAndEnter("3.5"); }, 1,
         3.5},
        {"committing the unchanged text", [](FloatEditTest& t) { t.edit_->SetValueStr("0.00000"); },
         1, 0},
        {"committing an invalid text", [](FloatEditTest& t) { t.typeAndEnter("x"); }, 1, 0},
        {"committing a text to be clamped", [](FloatEditTest& t) { t.typeAndEnter("11"); }, 2, 10},
        {"setting MaxValue below the value",
         [](FloatEditTest& t) {
             t.edit_->SetValue(8);
             t.resetCounts();
             t.edit_->SetMaxValue(6);
         },
         1, 6},
        {"setting MinValue above the value", [](FloatEditTest& t) { t.edit_->SetMinValue(2); }, 1,
         2},
        {"setting a limit that keeps the value", [](FloatEditTest& t) { t.edit_->SetMaxValue(20); },
         0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.action);
        edit_->SetMinValue(-10);
        edit_->SetMaxValue(10);
        edit_->SetValue(0);
        leaveEdit();
        resetCounts();
        r.act(*this);
        EXPECT_EQ(changed_, r.events);
        EXPECT_EQ(edit_->Value(), r.value);
    }
}

TEST_F(FloatEditTest, AddressFieldEdgeCases)
{
    configureAddress();
    struct Row {
        const char* typed;
        double value;
        const char* shown;
        int events;
    };
    const Row rows[] = {
        {"200", 127, "127", 2},  {"-5", -0.1, "0", 2},   // -0.1 shows with no decimals and no minus
        {"abc", -0.1, "0", 1},                           // not a number: the previous value
        {"42", 42, "42", 1},     {"12,5", 42, "42", 1},  // a comma is no decimal separator here
        {"1 000", 42, "42", 1},  {"", 42, "42", 1},
        {" 17 ", 17, "17", 1},   {"1e2", 100, "100", 1},
        {"0x10", 100, "100", 1}, {"12.7", 12.7, "13", 1},  // shown rounded, kept unrounded
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        resetCounts();
        typeAndEnter(r.typed);
        EXPECT_EQ(edit_->Value(), r.value);
        EXPECT_EQ(edit_->text(), r.shown);
        EXPECT_EQ(changed_, r.events);
    }
    // Committing "13" unedited, by Enter and by leaving, keeps 12.7.
    resetCounts();
    QTest::keyClick(edit_, Qt::Key_Return);
    EXPECT_EQ(edit_->Value(), 12.7);
    EXPECT_EQ(changed_, 1);
    leaveEdit();
    EXPECT_EQ(edit_->Value(), 12.7);
    EXPECT_EQ(edit_->text(), "13");
    EXPECT_EQ(changed_, 2);
}

TEST_F(FloatEditTest, TravelFieldShowsTheGeneralForm)
{
    edit_->SetDigits(0);
    edit_->SetPrec(4);
    edit_->SetMinValue(-0.1);
    edit_->SetMaxValue(30000);
    edit_->SetValue(30000);
    EXPECT_EQ(edit_->text(), "3E4");
    focusEdit();
    QTest::keyClick(edit_, Qt::Key_Return);
    EXPECT_EQ(edit_->Value(), 30000);
    typeAndEnter("3E4");
    EXPECT_EQ(edit_->Value(), 30000);
    typeAndEnter("3e4");
    EXPECT_EQ(edit_->Value(), 30000);

    edit_->SetValue(12345);
    EXPECT_EQ(edit_->text(), "1.235E4");
    leaveEdit();
    focusEdit();
    leaveEdit();
    EXPECT_EQ(edit_->Value(), 12345);
    EXPECT_EQ(edit_->text(), "1.235E4");
    // Typing the shown text by hand is an edit that matches it: still 12345.
    typeAndEnter("1.235E4");
    EXPECT_EQ(edit_->Value(), 12345);
    typeAndEnter("1.2351E4");
    EXPECT_EQ(edit_->Value(), 12351);
}

TEST_F(FloatEditTest, HiddenValueCommitsEmptyTextAndKeepsTheValue)
{
    edit_->SetValue(3.25);
    edit_->SetValueVisible(false);
    EXPECT_EQ(edit_->text(), "");
    resetCounts();
    focusEdit();
    QTest::keyClick(edit_, Qt::Key_Return);
    leaveEdit();
    EXPECT_EQ(edit_->Value(), 3.25);
    EXPECT_EQ(edit_->text(), "");
    EXPECT_EQ(changed_, 2);
    typeAndEnter("4");
    EXPECT_EQ(edit_->Value(), 4);
    EXPECT_EQ(edit_->text(), "");
    edit_->SetValueVisible(true);
    EXPECT_EQ(edit_->text(), "4.00000");
}

TEST_F(FloatEditTest, WithoutMinMaxCheckAnyNumberIsAccepted)
{
    edit_->SetMinMaxCheck(false);
    edit_->SetDigits(1);
    typeAndEnter("1e6");
    EXPECT_EQ(edit_->Value(), 1e6);
    EXPECT_EQ(changed_, 1);
    edit_->SetValue(-12345.5);
    EXPECT_EQ(edit_->Value(), -12345.5);
    EXPECT_EQ(edit_->text(), "-12346.0");
    edit_->SetPrec(4);
    EXPECT_EQ(edit_->text(), "-1.235E4");
}

TEST_F(FloatEditTest, ValidateValueDecidesWithoutMinMaxCheck)
{
    edit_->SetMinMaxCheck(false);
    std::vector<double> asked;
    edit_->OnValidateValue = [&asked](TFloatEdit*, double x, bool& valid) {
        EXPECT_TRUE(valid);
        asked.push_back(x);
        valid = x >= 0;
    };
    edit_->SetValue(-3);  // invalid, but nothing clamps: it stays
    EXPECT_EQ(edit_->Value(), -3);
    EXPECT_EQ(changed_, 1);
    EXPECT_FALSE(edit_->IsValidValue(-1));
    EXPECT_TRUE(edit_->IsValidValue(1e9));

    int outOfBounds = 0;
    edit_->OnOutOfBounds = [&outOfBounds](TFloatEdit*) { ++outOfBounds; };
    edit_->SetValue(-4);
    EXPECT_EQ(outOfBounds, 1);
    EXPECT_EQ(edit_->Value(), -4);
}

TEST_F(FloatEditTest, OutOfBoundsHandlerReplacesClamping)
{
    int outOfBounds = 0;
    edit_->OnOutOfBounds = [&](TFloatEdit* sender) {
        EXPECT_EQ(sender, edit_);
        ++outOfBounds;
    };
    resetCounts();
    typeAndEnter("25");
    EXPECT_EQ(edit_->Value(), 25);
    EXPECT_EQ(outOfBounds, 1);
    EXPECT_EQ(changed_, 1);
    edit_->SetMaxValue(20);
    EXPECT_EQ(outOfBounds, 2);
    EXPECT_EQ(edit_->Value(), 25);
}

TEST_F(FloatEditTest, ErrorHandlerGetsTheMessageAndMayKeepItsValue)
{
    struct Row {
        bool handled;
        double value;  // the handler sets 5 while the field held 2
    };
    const Row rows[] = {{false, 5}, {true, 2}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.handled);
        edit_->SetValue(2);
        QString message;
        edit_->OnError = [&](TFloatEdit* sender, const QString& text, bool& handled) {
            EXPECT_FALSE(handled);
            message = text;
            sender->SetValue(5);
            handled = r.handled;
        };
        typeAndEnter("12,5");
        EXPECT_EQ(message, "'12,5' is not a valid floating point value");
        EXPECT_EQ(edit_->Value(), r.value);
    }
    // Parsed text never reaches the handler.
    edit_->OnError = [](TFloatEdit*, const QString&, bool&) { ADD_FAILURE() << "called"; };
    typeAndEnter("7");
    EXPECT_EQ(edit_->Value(), 7);
}

TEST_F(FloatEditTest, KeyDownHandlerRunsFirstAndMayPreventTheCommit)
{
    edit_->OnKeyDown = [this](TFloatEdit*, int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            log_.push_back("keydown");
        if (key == Qt::Key_Return && edit_->text() == "9")
            key = 0;
    };
    edit_->OnEnterPress = [this](TFloatEdit*) { log_.push_back("enterpress"); };
    typeAndEnter("3");
    EXPECT_EQ(log_, (std::vector<std::string>{"keydown", "changed", "enterpress"}));
    EXPECT_EQ(edit_->Value(), 3);

    resetCounts();
    QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit_, "9");
    QTest::keyClick(edit_, Qt::Key_Return);
    EXPECT_EQ(log_, std::vector<std::string>{"keydown"});
    EXPECT_EQ(edit_->Value(), 3);
    EXPECT_EQ(edit_->text(), "9");  // still being typed

    // The keypad's Enter commits like Return.
    resetCounts();
    QTest::keyClick(edit_, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(log_, (std::vector<std::string>{"keydown", "changed", "enterpress"}));
    EXPECT_EQ(edit_->Value(), 9);
}

TEST_F(FloatEditTest, TypingAloneChangesNothing)
{
    focusEdit();
    QTest::keyClick(edit_, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit_, "7.5");
    EXPECT_EQ(edit_->text(), "7.5");
    EXPECT_EQ(edit_->Value(), 0);
    EXPECT_EQ(changed_, 0);
}

TEST_F(FloatEditTest, FocusInSelectsAllAndFocusOutCommits)
{
    edit_->SetValue(1.5);
    edit_->deselect();
    edit_->OnEnter = [this](TFloatEdit* sender) {
        EXPECT_EQ(sender, edit_);
        EXPECT_EQ(edit_->selectedText(), "1.50000");
        log_.push_back("enter");
    };
    edit_->OnExit = [this](TFloatEdit* sender) {
        EXPECT_EQ(sender, edit_);
        log_.push_back("exit");
    };
    resetCounts();
    focusEdit();
    EXPECT_EQ(log_, std::vector<std::string>{"enter"});
    // Typing replaces the selected text.
    QTest::keyClicks(edit_, "2.25");
    EXPECT_EQ(edit_->text(), "2.25");
    leaveEdit();
    EXPECT_EQ(log_, (std::vector<std::string>{"enter", "changed", "exit"}));
    EXPECT_EQ(edit_->Value(), 2.25);
    EXPECT_EQ(edit_->text(), "2.25000");
}

TEST_F(FloatEditTest, NotANumberValueLandsOnTheLowerLimit)
{
    edit_->SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(edit_->Value(), -10);
    edit_->SetValue(std::numeric_limits<double>::infinity());
    EXPECT_EQ(edit_->Value(), 10);
}

TEST_F(FloatEditTest, ExceptionFromAHandlerShowsInTheErrorBox)
{
    QStringList shown;
    SetErrorBoxPresenter([&shown](const QString&, const QString& message) { shown << message; });
    edit_->OnChanged = [](TFloatEdit*) { throw std::runtime_error("write failed"); };
    typeAndEnter("4");
    EXPECT_EQ(shown, QStringList{"write failed"});
    EXPECT_EQ(edit_->Value(), 4);
}

}  // namespace
