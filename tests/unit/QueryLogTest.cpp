#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>

#include "FileSizeLimit.h"
#include "common/QueryLog.h"
#include "common/QueryLogWriter.h"

namespace {
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(QueryLog, FileNames) {
  const QDate day(2001, 4, 5);
  EXPECT_EQ(QueryLogFileName(0, "fixed.log", "np", day), "");
  EXPECT_EQ(QueryLogFileName(-1, "fixed.log", "np", day), "");
  EXPECT_EQ(QueryLogFileName(1, "fixed.log", "np", day), "fixed.log");
  EXPECT_EQ(QueryLogFileName(1, "", "np", day), "np20010405.log");
  EXPECT_EQ(QueryLogFileName(2, "fixed.log", "np", day), "np20010405.log");
  EXPECT_EQ(QueryLogFileName(2, "", "", day), "20010405.log");
  EXPECT_EQ(QueryLogFileName(2, "", "", QDate(2010, 12, 31)), "20101231.log");
}

TEST(QueryLog, RunsAppendWithTwoEmptyLinesBetweenThemButNotAtTheStart) {
  QTemporaryDir dir;
  const QString path = dir.filePath("q.log");
  const QList<QByteArray> run1{"", "", ">> header 1", "", "line"};
  const QList<QByteArray> run2{"", "", ">> header 2", "", "\x93\xfa"};
  ASSERT_EQ(AppendQueryLog(path, run1), TLogWrite::Written);
  ASSERT_EQ(AppendQueryLog(path, run2), TLogWrite::Written);
  EXPECT_EQ(ReadAll(path),
            QByteArray(">> header 1\r\n\r\nline\r\n\r\n\r\n>> header 2\r\n\r\n\x93\xfa\r\n"));
}

TEST(QueryLog, RunOfOnlyEmptyLinesCreatesNoFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("q.log");
  EXPECT_EQ(AppendQueryLog(path, {"", ""}), TLogWrite::Skipped);
  EXPECT_FALSE(QFile::exists(path));
  // An existing file still gets them.
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_EQ(AppendQueryLog(path, {"", ""}), TLogWrite::Written);
  EXPECT_EQ(ReadAll(path), "\r\n\r\n");
}

TEST(QueryLog, UnwritablePathFails) {
  QTemporaryDir dir;
  EXPECT_EQ(AppendQueryLog(dir.filePath("missing/q.log"), {"x"}), TLogWrite::Failed);
  QDir(dir.path()).mkdir("adir");
  EXPECT_EQ(AppendQueryLog(dir.filePath("adir"), {"x"}), TLogWrite::Failed);
}
// A log that cannot take the run fails, and what it held stays as it was:
// a directory in its place, or a disk that fills up halfway through the run.
TEST(QueryLog, AFailedWriteLeavesTheLogAsItWas) {
  QTemporaryDir dir;
  const QList<QByteArray> run{"", "", ">> header", "", QByteArray(4000, 'x')};
  const QString folder = dir.filePath("folder.log");
  ASSERT_TRUE(QDir().mkdir(folder));
  EXPECT_EQ(AppendQueryLog(folder, run), TLogWrite::Failed);
  EXPECT_TRUE(QFileInfo(folder).isDir());

  const QString full = dir.filePath("full.log");
  ASSERT_EQ(AppendQueryLog(full, {">> first", "kept"}), TLogWrite::Written);
  const QByteArray before = ReadAll(full);
  const QString fresh = dir.filePath("fresh.log");
  {
    const TFileSizeLimit disk(1000);
    EXPECT_EQ(AppendQueryLog(full, run), TLogWrite::Failed);
    EXPECT_EQ(AppendQueryLog(fresh, run), TLogWrite::Failed);
  }
  EXPECT_EQ(ReadAll(full), before);
  EXPECT_FALSE(QFile::exists(fresh));  // no half run left behind
}

// The writer keeps the order of the runs, reports each failed entry, and
// writes what waits before it goes.
TEST(QueryLog, TheWriterKeepsOrderAndReportsFailures) {
  QTemporaryDir dir;
  std::atomic<int> failed = 0;
  {
    TQueryLogWriter writer([&failed] { ++failed; }, std::chrono::seconds(10));
    const QDate day(2001, 4, 5);
    for (const char* name : {"q.log", "../out.log", "q.log"})
      writer.Post({dir.path(), LogOneFile, name, "", day, {"", "", name}});
    ASSERT_TRUE(writer.Wait());
    EXPECT_EQ(ReadAll(dir.filePath("q.log")), "q.log\r\n\r\n\r\nq.log\r\n");
    for (int run = 0; run < 50; ++run)
      writer.Post({dir.path(), LogOneFile, "q.log", "", day, {QByteArray::number(run)}});
  }
  QByteArray expected = "q.log\r\n\r\n\r\nq.log\r\n";
  for (int run = 0; run < 50; ++run) expected += QByteArray::number(run) + "\r\n";
  EXPECT_EQ(ReadAll(dir.filePath("q.log")), expected);
  EXPECT_EQ(failed, 1);
}

// Wait holds until the entry being written is written, within its bound:
// here the entry is held inside its write by a FIFO that nobody reads yet.
TEST(QueryLog, WaitReturnsOnlyOnceTheEntryInHandIsWritten) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath("held.log");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  TQueryLogWriter writer(nullptr, std::chrono::milliseconds(300));
  writer.Post({dir.path(), LogOneFile, "held.log", "", QDate(2001, 4, 5), {"line"}});
  EXPECT_FALSE(writer.Wait());
  QFile reader(fifo);
  ASSERT_TRUE(reader.open(QIODevice::ReadOnly));  // lets the write go on
  EXPECT_EQ(reader.readAll(), "line\r\n");
}

}  // namespace
