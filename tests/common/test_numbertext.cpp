#include "common/numbertext.h"
#include "ui/messages.h"
#include "ui/numericedit.h"

#include <QLineEdit>
#include <gtest/gtest.h>

using qn::NumberChars;

TEST(NumberText, FilterKeepsTheLongestAllowedPrefix)
{
    struct Case { const char *in; NumberChars chars; const char *out; bool cut; };
    const Case cases[] = {
        {"1.5e3", NumberChars::Decimal, "1.5", true},
        {"12a34", NumberChars::Decimal, "12", true},
        {"-3.5V", NumberChars::Decimal, "-3.5", true},
        {"-3.5", NumberChars::Decimal, "-3.5", false},
        {"-3", NumberChars::Digits, "", true},
        {"", NumberChars::Digits, "", false},
    };
    for (const Case &c : cases) {
        bool cut = false;
        EXPECT_EQ(qn::numericPrefix(QString::fromLatin1(c.in), c.chars, &cut), QString::fromLatin1(c.out)) << c.in;
        EXPECT_EQ(cut, c.cut) << c.in;
    }
}

TEST(NumberText, LenientParsingTakesTheNumericPrefix)
{
    EXPECT_DOUBLE_EQ(qn::parseLenient("1-2"), 1.0);
    EXPECT_DOUBLE_EQ(qn::parseLenient("."), 0.0);
    EXPECT_DOUBLE_EQ(qn::parseLenient("abc"), 0.0);
    EXPECT_DOUBLE_EQ(qn::parseLenient("-3.5V"), -3.5);
    EXPECT_DOUBLE_EQ(qn::parseLenient("nan"), 0.0);
    EXPECT_EQ(qn::parseLenientInt("12a"), 12);
    EXPECT_EQ(qn::parseLenientInt(""), 0);
}

namespace {
struct RecordingPresenter final : qn::MessagePresenter {
    QStringList messages;
    void inform(QWidget *, const qn::MessageText &text) override { messages << text.text(); }
    bool confirm(QWidget *, const qn::MessageText &text) override { messages << text.text(); return true; }
};
} // namespace

TEST(NumberText, EditFilterShowsOneMessageThenCuts)
{
    RecordingPresenter presenter;
    qn::setMessagePresenter(&presenter);
    QLineEdit edit;
    int paused = 0, resumed = 0;
    qn::attachNumericFilter(&edit, NumberChars::Decimal, [&] { ++paused; }, [&] { ++resumed; });
    edit.setText("1.5e3");
    EXPECT_EQ(edit.text(), "1.5");
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], QString::fromUtf8("数字以外は入力できません"));
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(resumed, 1);
    edit.setText("2.5");
    EXPECT_EQ(presenter.messages.size(), 1);
    qn::setMessagePresenter(nullptr);
}
