#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QTest>

#include "app/StatusLogWidget.h"
#include "app/Twips.h"
#include "core/Text.h"

namespace rq::app {
namespace {

constexpr TwipRect kArea{0, 0, 8535, 2895};
const QColor kBackground(224, 224, 224);

class StatusLogWidgetTest : public ::testing::Test {
  protected:
    StatusLogWidgetTest() {
        log.resize(TwipScale::of(log).toPixels(kArea).size());
        log.show();
    }

    // Pixels inside the frame that are not background.
    int inkInRows(int top, int bottom) {
        const QImage image = log.grab().toImage();
        const QRect inside = log.contentsRect();
        int ink = 0;
        for (int y = std::max(top, inside.top()); y <= std::min(bottom, inside.bottom()); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                ink += image.pixelColor(x, y) != kBackground ? 1 : 0;
            }
        }
        return ink;
    }
    int ink() { return inkInRows(0, log.height()); }

    // Whether some pixel has the colour, give or take anti-aliasing of the glyph edges.
    bool hasPixelNear(const QColor& colour) {
        const QImage image = log.grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                        std::abs(c.blue() - colour.blue()) <=
                    24) {
                    return true;
                }
            }
        }
        return false;
    }

    StatusLogWidget log;
};

TEST_F(StatusLogWidgetTest, PiecesContinueTheLineAndLinesStartTheNext) {
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ink(), 0);

    log.appendPiece("Block");
    const PrintPosition afterBlock = log.printPosition();
    EXPECT_GT(afterBlock.x, 0);
    EXPECT_EQ(afterBlock.y, 0);
    log.appendPiece(" 1");
    EXPECT_GT(log.printPosition().x, afterBlock.x);

    log.appendLine(".");
    const int lineHeight = log.printPosition().y;
    EXPECT_EQ(log.printPosition().x, 0);
    EXPECT_GT(lineHeight, 150);  // a 9.75 pt line is a good 200 twips
    EXPECT_LT(lineHeight, 300);

    log.appendEmptyLine();
    log.appendLine("third");
    EXPECT_EQ(log.printPosition(), (PrintPosition{0, 3 * lineHeight}));
    EXPECT_GT(ink(), 0);
}

TEST_F(StatusLogWidgetTest, ClearErasesAndReturnsToTheTop) {
    log.appendLine("one");
    log.appendLine("two");
    log.appendPiece("three");
    log.clear();
    EXPECT_EQ(log.printPosition(), (PrintPosition{0, 0}));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ink(), 0);

    log.appendLine("again");
    const int firstLineBottom = TwipScale::of(log).toPixelsY(log.printPosition().y);
    EXPECT_GT(inkInRows(0, firstLineBottom), 0);
    EXPECT_EQ(inkInRows(firstLineBottom + 2, log.height()), 0);
}

// A failed flash: the dots wrap at the right edge and the failure text after them is on
// screen; later lines move the contents up, the newest always seen whole.
TEST_F(StatusLogWidgetTest, NothingWrittenIsDrawnOutsideTheArea) {
    const TwipScale scale = TwipScale::of(log);
    const QRect area = log.contentsRect();
    const double lowest = scale.toTwipsY(area.height() - QFontMetricsF(log.font(), &log).height());
    log.appendPiece("Total 12000 Bytes. Writing:");
    for (int dot = 0; dot < 240; ++dot) {
        log.appendPiece(".");
        ASSERT_LE(log.printPosition().x, scale.toTwipsX(area.width()));
    }
    log.appendLine("Receive device ACK timeout, Flash abort!");
    EXPECT_EQ(log.shownText().count('.'), 1 + 240);  // "Bytes." and the dots
    EXPECT_TRUE(log.visibleLines().back().endsWith("Receive device ACK timeout, Flash abort!"));
    for (int line = 1; line <= 30; ++line) {
        log.appendPiece("line " + std::to_string(line));
        ASSERT_LE(log.printPosition().y, lowest);
        log.appendEmptyLine();
    }
    log.appendEmptyLine();
    log.appendPiece("newest");
    EXPECT_TRUE(log.shownText().endsWith("line 30\n\nnewest"));
}

// A reader's burst comes as one call; it must land, wrap and move up exactly as the same
// characters drawn one piece at a time, in an area of any width.
TEST(StatusLogWidgetCharacters, ABurstDrawsAsItsCharactersOneByOne) {
    std::u32string burst = U"Wi\u20ac\U0001F600\r\n\t\u00e9 ";
    for (char32_t c = 0; burst.size() < 3000; c = (c + 37) % 256) {
        burst += c;
    }
    for (const int widthPixels : {569, 40, 9}) {  // the area, a narrow one, one too narrow
        StatusLogWidget atOnce;
        StatusLogWidget oneByOne;
        for (StatusLogWidget* log : {&atOnce, &oneByOne}) {
            log->resize(widthPixels, 193);
            log->show();
            log->appendPiece("Writing:");
            log->setTextColour({0, 0, 128});
        }
        for (std::size_t from = 0, size = 1; from < burst.size(); from += size, size *= 3) {
            const std::u32string_view part = std::u32string_view(burst).substr(from, size);
            atOnce.appendCharacters(part);
            for (const char32_t c : part) {
                oneByOne.appendPiece(text::ToUtf8(c));
            }
            ASSERT_EQ(atOnce.printPosition(), oneByOne.printPosition()) << widthPixels;
        }
        EXPECT_EQ(atOnce.shownText(), oneByOne.shownText()) << widthPixels;
        EXPECT_EQ(atOnce.grab().toImage(), oneByOne.grab().toImage()) << widthPixels;
    }
}

TEST_F(StatusLogWidgetTest, DrawnTextStaysThroughRepaintsAndHiding) {
    log.appendLine("Read 4720B USB value OK!");
    log.repaint();
    const QImage drawn = log.grab().toImage();
    EXPECT_TRUE(hasPixelNear(QColor(0, 64, 0)));

    log.hide();
    log.show();
    log.repaint();
    EXPECT_EQ(log.grab().toImage(), drawn);
}

TEST_F(StatusLogWidgetTest, RepaintPaintsAtOnce) {
    int paints = 0;
    struct Counter : QObject {
        int& paints;
        explicit Counter(int& p) : paints(p) {}
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter(paints);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
    log.installEventFilter(&counter);
    log.appendLine("Please wait");
    log.repaint();  // no event loop runs in between
    EXPECT_GE(paints, 1);
    log.removeEventFilter(&counter);
}

TEST_F(StatusLogWidgetTest, TextColourAppliesToLaterText) {
    log.setTextColour({0, 0, 128});
    log.appendLine("Version 4720B V1.3");
    EXPECT_TRUE(hasPixelNear(QColor(0, 0, 128)));
    EXPECT_FALSE(hasPixelNear(QColor(0, 64, 0)));
}

TEST_F(StatusLogWidgetTest, TakesTheFocusAndPassesTypedCharacters) {
    std::u32string typed;
    log.setKeyHandler([&](char32_t c) { typed += c; });
    log.takeFocus();
    EXPECT_EQ(log.focusPolicy(), Qt::StrongFocus);
    QTest::keyClicks(&log, "0A");
    QTest::keyClick(&log, Qt::Key_Left);  // no character
    EXPECT_EQ(typed, U"0A");
}

}  // namespace
}  // namespace rq::app
