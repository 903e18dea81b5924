// Find over the pane at the size of the streaming benchmark: 250,000 lines
// of report text, the way F3 searches it, down and up, found at the far end
// and not found at all.
#include <QApplication>
#include <cstdio>

#include "TimeFind.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TOstrekForm form;
  form.show();
  QStringList lines;
  for (int i = 0; i < 250000; ++i)
    lines << QStringLiteral("%1  0123456789 abcdefghij ABCDEFGHIJ 日本語の行").arg(i, 6);
  lines << QStringLiteral("the needle at the end");
  form.ExtMemo->AppendLines(lines.join('\n'), false);
  const int end = form.ExtMemo->TextLength();
  std::printf("pane: %d lines, %d characters\n", int(lines.size()), end);
  for (int round = 0; round < 2; ++round) {
    std::printf("round %d:\n", round + 1);
    std::printf("  down, found at the end      %7.1f ms\n", TimeFind(form, "needle", true, 0));
    std::printf("  down, not found             %7.1f ms\n", TimeFind(form, "nowhere", true, 0));
    std::printf("  up, found at the start      %7.1f ms\n", TimeFind(form, "     0  ", false, end));
    std::printf("  up, not found               %7.1f ms\n", TimeFind(form, "nowhere", false, end));
  }
  return 0;
}
