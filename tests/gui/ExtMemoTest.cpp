// The output pane: line selection in the margin, the line-breaking options
// and the position operations the view commands are written against.
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#include "common/SjisText.h"
#include "widgets/ExtMemo.h"

namespace {

QString NumberedLines(int count) {
  QStringList lines;
  for (int i = 0; i < count; ++i) lines << QStringLiteral("line %1").arg(i, 2, 10, QChar('0'));
  return lines.join(QChar('\n'));
}

// Points in the pane's coordinates.
int RowY(const TExtMemo& memo, int line) {
  return memo.viewport()->y() + memo.LineRect(line).center().y();
}
QPoint InMargin(const TExtMemo& memo, int y) { return {memo.viewport()->x() - 8, y}; }
QPoint InText(const TExtMemo& memo, int y) { return {memo.viewport()->x() + 30, y}; }

// Real pointer events through the window, so that Qt routes them as it does
// the user's (the pressed widget keeps the pointer while the button is down).
QPoint InWindow(const TExtMemo& memo, QPoint at) { return memo.mapTo(memo.window(), at); }
void Mouse(QTest::MouseAction action, TExtMemo& memo, QPoint at, Qt::KeyboardModifiers mods = {}) {
  QTest::mouseEvent(action, memo.window()->windowHandle(), Qt::LeftButton, mods,
                    InWindow(memo, at));
}
using QTest::MouseMove, QTest::MousePress, QTest::MouseRelease;

QPair<int, int> Selection(const TExtMemo& memo) {
  return {memo.SelStart(), memo.SelStart() + memo.SelLength()};
}

}  // namespace

class ExtMemoTest : public QObject {
  Q_OBJECT
  // The window has room above and below the pane for pointing past it.
  std::unique_ptr<QWidget> FWindow;
  TExtMemo* FMemo = nullptr;

 private slots:
  void init() {
    FWindow = std::make_unique<QWidget>();
    FWindow->resize(300, 400);
    FMemo = new TExtMemo(FWindow.get());
    FMemo->setGeometry(0, 80, 300, 220);
    FMemo->AppendLines(NumberedLines(60), false);
    (new QLineEdit(FWindow.get()))->setFocus();  // a click in the margin takes the focus
    FWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
  }
  void cleanup() { FWindow.reset(); }

  // Whatever bytes a batch brings, each line stays one pane line and comes
  // back as the same bytes; a stray CR or LF alone in a batch included.
  void batchLinesStayOneLineEach_data() {
    QTest::addColumn<QList<QByteArray>>("batch");
    QTest::newRow("plain") << QList<QByteArray>{"a", "", "b"};
    QTest::newRow("stray CR, no LF in the batch") << QList<QByteArray>{"a\rb"};
    QTest::newRow("stray LF") << QList<QByteArray>{"a\nb"};
    QTest::newRow("stray CR among plain lines") << QList<QByteArray>{"x", "a\rb", "y"};
    QTest::newRow("byte that is no character") << QList<QByteArray>{"a\x80" "b", "c"};
  }
  void batchLinesStayOneLineEach() {
    QFETCH(QList<QByteArray>, batch);
    FMemo->clear();
    FMemo->AppendSjisLines(batch, false);
    QList<QByteArray> back;
    for (const QString& line : FMemo->Lines()) back << ToSjis(line);
    QCOMPARE(back, batch);
  }

  void marginSelection_data() {
    QTest::addColumn<bool>("lineSelect");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<int>("fromLine");
    QTest::addColumn<int>("toLine");
    const Qt::KeyboardModifiers none;
    QTest::newRow("press selects its line") << true << none << 3 << QList<int>{} << 3 << 4;
    QTest::newRow("drag down") << true << none << 3 << QList<int>{4, 6} << 3 << 7;
    QTest::newRow("drag up keeps anchor line") << true << none << 5 << QList<int>{4, 2} << 2 << 6;
    QTest::newRow("back past the anchor") << true << none << 5 << QList<int>{2, 7} << 5 << 8;
    // A plain click: Shift extends from the caret (at 0), Ctrl just places it.
    QTest::newRow("shift press") << true << Qt::KeyboardModifiers(Qt::ShiftModifier) << 3
                                 << QList<int>{} << 0 << 3;
    QTest::newRow("ctrl press") << true << Qt::KeyboardModifiers(Qt::ControlModifier) << 3
                                << QList<int>{} << 3 << 3;
    QTest::newRow("line select off") << false << none << 3 << QList<int>{} << 3 << 3;
  }
  void marginSelection() {
    QFETCH(bool, lineSelect);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(int, pressed);
    QFETCH(QList<int>, dragged);
    QFETCH(int, fromLine);
    QFETCH(int, toLine);
    TExtMemo& memo = *FMemo;
    memo.SetLineSelect(lineSelect);
    memo.SetCaret(0);
    QPoint at = InMargin(memo, RowY(memo, pressed));
    Mouse(MousePress, memo, at, mods);
    // Drag over the text: the margin keeps the pointer.
    for (int line : dragged) Mouse(MouseMove, memo, at = InText(memo, RowY(memo, line)));
    Mouse(MouseRelease, memo, at);
    QCOMPARE(memo.window()->focusWidget(), &memo);
    const QPair<int, int> expected(memo.LineIndex(fromLine), memo.LineIndex(toLine));
    QCOMPARE(Selection(memo), expected);
    Mouse(MouseMove, memo, InText(memo, RowY(memo, 0)));  // the drag is over
    QCOMPARE(Selection(memo), expected);
    QCOMPARE(memo.verticalScrollBar()->value(), 0);
  }

  void pressBelowTextSelectsLastLine() {
    TExtMemo& memo = *FMemo;
    memo.clear();
    memo.AppendLines(QStringLiteral("one\ntwo"), false);
    Mouse(MousePress, memo, InMargin(memo, memo.viewport()->geometry().bottom() - 2));
    QCOMPARE(Selection(memo), qMakePair(4, memo.TextLength()));
  }

  void dragScrollsAtTheEdges() {
    TExtMemo& memo = *FMemo;
    QScrollBar* vbar = memo.verticalScrollBar();
    const int bottom = memo.viewport()->geometry().bottom();
    const auto below = [&](int by) { Mouse(MouseMove, memo, InText(memo, bottom + by)); };
    Mouse(MousePress, memo, InMargin(memo, RowY(memo, 1)));
    for (int by = 1; by <= 3; ++by) below(by);
    QCOMPARE(vbar->value(), 3);  // one line a move
    Mouse(MouseMove, memo, InMargin(memo, bottom + 3));
    QCOMPARE(vbar->value(), 3);  // sideways never scrolls
    for (int by = 1; by <= 5; ++by) Mouse(MouseMove, memo, InText(memo, memo.viewport()->y() - by));
    QCOMPARE(vbar->value(), 0);
    QCOMPARE(Selection(memo), qMakePair(0, memo.LineIndex(2)));  // the anchor line stays
    for (int by = 1; by <= 100; ++by) below(by);
    const int end = vbar->value();
    below(101);
    QCOMPARE(vbar->value(), end);  // stops at the last line
    QCOMPARE(Selection(memo), qMakePair(memo.LineIndex(1), memo.TextLength()));
  }

  void marginCursor() {
    TExtMemo& memo = *FMemo;
    QWidget* margin = memo.childAt(InMargin(memo, RowY(memo, 0)));
    QVERIFY(margin && margin != memo.viewport());
    const QCursor arrow = margin->cursor();
    QCOMPARE(arrow.shape(), Qt::BitmapCursor);
    QCOMPARE(arrow.pixmap().size(), QSize(32, 32));
    QCOMPARE(arrow.hotSpot(), QPoint(31, 0));
    const QImage image = arrow.pixmap().toImage();
    QVERIFY(image.pixelColor(31, 0).alpha() > 0);  // the tip, upper right
    memo.SetLineSelect(false);
    QCOMPARE(margin->cursor().shape(), Qt::IBeamCursor);
  }

  // The margin is part of the text area: the pane's context menu opens there.
  void contextMenuOverMargin() {
    TExtMemo& memo = *FMemo;
    memo.setContextMenuPolicy(Qt::CustomContextMenu);
    QSignalSpy requests(&memo, &QWidget::customContextMenuRequested);
    const QPoint at = InMargin(memo, RowY(memo, 2));
    QTest::mouseClick(memo.window()->windowHandle(), Qt::RightButton, {}, InWindow(memo, at));
    QCOMPARE(requests.count(), 1);
    QCOMPARE(requests[0][0].toPoint(), memo.viewport()->mapFrom(&memo, at));
  }

  void flagWordRules() {
    enum { Read, Modes, Level };
    const int all = wbfWordWrap | wbfWordBreak | wbfOverFlow, wrapBreak = all & ~wbfOverFlow;
    const struct {
      unsigned Flags;
      int Write, Value;
      unsigned NewFlags;
      int Modes, Level;
    } rows[] = {
        {TWordWrapOption().Flags(), Read, 0, 0x170, all, wbfLevel2},  // the defaults
        {0x2F0, Read, 0, 0x2F0, all, wbfCustom},                      // custom wins over level 1
        {0x30, Read, 0, 0x30, wrapBreak, wbfLevel2},                  // no level bit: level 2
        {0x170, Modes, 0, 0x100, 0, wbfLevel2},                       // only the level is left
        {0x2F0, Modes, wbfOverFlow, 0x240, wbfOverFlow, wbfCustom},   // custom, not level 1
        {0x1081, Modes, wbfWordWrap, 0x90, wbfWordWrap, wbfLevel1},   // foreign bits dropped
        {0x1370, Level, wbfLevel1, 0xF0, all, wbfLevel1},             // only mode bits stay
        {0x130, Level, wbfCustom, 0x230, wrapBreak, wbfCustom},
    };
    for (const auto& row : rows) {
      TWordWrapOption option;
      option.SetFlags(row.Flags);
      if (row.Write == Modes) option.SetWordWrapMode(TWordWrapModes::fromInt(row.Value));
      if (row.Write == Level) option.SetPunctuationMode(TPunctuationMode(row.Value));
      QCOMPARE(option.Flags(), row.NewFlags);
      QCOMPARE(option.WordWrapMode().toInt(), row.Modes);
      QCOMPARE(int(option.PunctuationMode()), row.Level);
    }
  }

  void punctuationSetsReachTheBreakerOnCustom() {
    TWordWrapOption& option = FMemo->WordWrapOption();
    option.SetPunctuation(pcFollowing, QStringLiteral("、。"));
    QCOMPARE(option.Punctuation(pcFollowing), QString());  // not handed over yet
    option.SetPunctuationMode(wbfCustom);
    QCOMPARE(option.Punctuation(pcFollowing), QStringLiteral("、。"));
    option.SetPunctuation(pcFollowing, QStringLiteral("x"));
    QCOMPARE(option.Punctuation(pcFollowing), QStringLiteral("x"));
    option.SetPunctuationMode(wbfLevel1);
    QCOMPARE(option.Punctuation(pcFollowing), QStringLiteral("、。"));
  }

  void positions() {
    TExtMemo& memo = *FMemo;
    memo.SetSelection(memo.LineIndex(50), 4);
    QVERIFY(memo.viewport()->rect().contains(memo.CaretRect().center()));  // scrolled to
    memo.clear();
    memo.AppendLines(QStringLiteral("ab\ncd"), false);  // "ab\ncd\n"
    QCOMPARE(memo.TextLength(), 6);
    memo.SetCaret(4);
    const int lineStarts[][2] = {{0, 0}, {1, 3}, {2, 6}, {3, -1}, {-1, 3}, {-5, 3}};
    for (auto [line, start] : lineStarts) QCOMPARE(memo.LineIndex(line), start);
    const int linesOf[][2] = {{-3, 0}, {2, 0}, {3, 1}, {6, 2}, {99, 2}};
    for (auto [pos, line] : linesOf) QCOMPARE(memo.LineFromChar(pos), line);
    // start, length -> start, length, caret
    const int selections[][5] = {
        {1, 3, 1, 3, 4}, {-1, 0, 0, 0, 0}, {4, 10, 4, 2, 6}, {5, -2, 3, 2, 3}, {7, 0, 6, 0, 6}};
    for (auto [start, length, selStart, selLength, caret] : selections) {
      memo.SetSelection(start, length);
      QCOMPARE(memo.SelStart(), selStart);
      QCOMPARE(memo.SelLength(), selLength);
      QCOMPARE(memo.CaretPos(), caret);
    }
  }

  // Lines "line NN" start every 8 positions; the caret starts in line 3.
  void keysMoveTheCaret() {
    const struct {
      Qt::Key Key;
      Qt::KeyboardModifiers Mods;
      int SelStart, SelLength, Caret;
    } rows[] = {
        {Qt::Key_Right, {}, 27, 0, 27},
        {Qt::Key_Left, {}, 25, 0, 25},
        {Qt::Key_Down, {}, 34, 0, 34},
        {Qt::Key_Up, Qt::ShiftModifier, 18, 8, 18},
        {Qt::Key_End, {}, 31, 0, 31},
        {Qt::Key_Home, Qt::ShiftModifier, 24, 2, 24},
        {Qt::Key_End, Qt::ControlModifier, 480, 0, 480},
        {Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier, 0, 26, 0},
    };
    for (const auto& row : rows) {
      FMemo->SetCaret(26);
      QTest::keyClick(FMemo, row.Key, row.Mods);
      QCOMPARE(FMemo->SelStart(), row.SelStart);
      QCOMPARE(FMemo->SelLength(), row.SelLength);
      QCOMPARE(FMemo->CaretPos(), row.Caret);
    }
    FMemo->SetCaret(0);
    QTest::keyClick(FMemo, Qt::Key_Left);  // nothing before the start
    QCOMPARE(FMemo->CaretPos(), 0);
  }

  // A click places the caret, Shift+click extends, a double click takes a word.
  void mouseOverTheText() {
    TExtMemo& memo = *FMemo;
    const auto at = [&memo](int pos) {
      memo.SetCaret(pos);
      return memo.viewport()->pos() + memo.CaretRect().center();
    };
    const QPoint third = at(3 * 8 + 2), fifth = at(5 * 8 + 2), word = at(7 * 8 + 2);
    memo.SetCaret(0);
    QTest::mouseClick(memo.window()->windowHandle(), Qt::LeftButton, {}, InWindow(memo, third));
    QCOMPARE(Selection(memo), qMakePair(26, 26));
    QTest::mouseClick(memo.window()->windowHandle(), Qt::LeftButton, Qt::ShiftModifier,
                      InWindow(memo, fifth));
    QCOMPARE(Selection(memo), qMakePair(26, 42));
    QTest::mouseDClick(memo.window()->windowHandle(), Qt::LeftButton, {}, InWindow(memo, word));
    QCOMPARE(memo.SelectedText(), QStringLiteral("line"));
  }

  void findText() {
    FMemo->clear();
    FMemo->AppendLines(QStringLiteral("Alpha beta alphabet\nbeta-alpha ALPHA_1"), false);
    // "≒ソＡ" with NEC's spelling of ≒ (JIS X 0208 has one too); the second
    // byte of ソ is a backslash's.
    FMemo->AppendSjisLines({"\x87\x90\x83\x5C\x82\x60"}, false);
    // 0 "Alpha", 11 "alphabet", 20 "beta-", 25 "alpha", 31 "ALPHA_1"; 39 positions
    // to the end of the second line, 39 "≒ソＡ".
    const struct {
      const char* Text;
      int From, To;
      bool MatchCase, WholeWord;
      int Found;
    } rows[] = {
        {"alpha", 0, 39, false, false, 0},
        {"alpha", 0, 39, true, false, 11},
        {"alpha", 1, 39, false, false, 11},   // starts in the range
        {"alpha", 11, 15, false, false, -1},  // must end by to
        {"alpha", 11, 16, false, false, 11},
        {"beta", 20, 24, true, false, 20},
        {"alpha", 1, 39, false, true, 25},           // whole word skips "alphabet"
        {"ALPHA", 26, 39, true, true, -1},           // '_' is a word character
        {"alphabet\nbeta", 0, 39, true, false, 11},  // across a line end
        {"alpha", -5, 1000000, true, false, 11},     // range clamped
        {"", 0, 39, false, false, -1},
        {"≒", 0, 99, true, false, 39},
        {"ALPHA_1\n≒", 0, 99, true, false, 31},
        {"\\", 0, 99, true, false, -1},  // inside ソ
        {"ソａ", 0, 99, false, false, 40},
        {"ソａ", 0, 99, true, false, -1},
    };
    for (const auto& row : rows)
      QCOMPARE(FMemo->FindText(QString::fromUtf8(row.Text), row.From, row.To, row.MatchCase,
                               row.WholeWord),
               row.Found);
    QCOMPARE(FMemo->FindTextBackward(QStringLiteral("≒"), 99, true, false), 39);
  }

  void findSeesEveryChange() {
    TExtMemo& memo = *FMemo;
    const auto find = [&memo] { return memo.FindText("gamma", 0, 1000000, true, false); };
    QCOMPARE(find(), -1);
    memo.AppendLines(QStringLiteral("gamma"), false);
    QCOMPARE(find(), memo.LineIndex(60));
    memo.clear();
    memo.AppendLines(QStringLiteral("gamma"), false);
    QCOMPARE(find(), 0);
  }
};

QTEST_MAIN(ExtMemoTest)
#include "ExtMemoTest.moc"
