#include "stitchkit/platform/thread_palette.h"

#include <gtest/gtest.h>

#include <sstream>

namespace stitchkit {
namespace {

ThreadProperty sampleThread() {
  ThreadProperty t(ThreadProperty::rgb(200, 16, 32), L"Rot \u00e9", L"1147", L"Korvan ZEL");
  t.type = ThreadType::kPunch;
  t.comment = L"\u65e5 comment";
  t.presserFoot = PresserFootSettings{true, true, 12, 45, 10, 7};
  t.individualSpeed = 850;
  t.thickness = 10.5;
  return t;
}

std::string serialise(const ThreadProperty& thread) {
  auto* sink = new std::ostringstream();
  DefaultOutStream out(sink, 1);
  EXPECT_EQ(thread.write(out), kHStreamOk);
  std::ostream* back = nullptr;
  int own = 0;
  out.detach(back, own);
  const std::string bytes = sink->str();
  delete back;
  return bytes;
}

TEST(ThreadProperty, WriteThenReadRestoresEveryField) {
  const ThreadProperty original = sampleThread();
  const std::string bytes = serialise(original);
  std::istringstream source(bytes);
  DefaultInStream in(&source, 0);
  ThreadProperty read;
  ASSERT_EQ(read.read(in), kHStreamOk);
  EXPECT_EQ(read, original);
  EXPECT_EQ(read.red(), 200u);
}

TEST(ThreadDB, DefaultsWrapAndLookupsGoByBrandAndCode) {
  ThreadDB db;
  ASSERT_GT(db.defaultThreadCount(), 0);
  EXPECT_EQ(db.getDefaultThread(db.defaultThreadCount()), db.getDefaultThread(0));
  EXPECT_EQ(db.getDefaultThread(-1), db.getDefaultThread(db.defaultThreadCount() - 1));
  EXPECT_EQ(db.getDefaultThread(0).code, L"1");  // default threads are numbered from 1
  EXPECT_EQ(db.getDefaultThread(1).code, L"2");

  db.addBrand(3, L"Korvan ZEL");
  EXPECT_EQ(db.getBrandNumber(L"korvan zel"), 3);
  EXPECT_EQ(db.getBrandNumber(L"nobody"), -1);
  ThreadProperty thread = sampleThread();
  db.addThread(3, thread);
  thread.name = L"renamed";
  db.addThread(3, thread);
  ThreadProperty found;
  ASSERT_TRUE(db.findThread(3, L"1147", found));
  EXPECT_EQ(found.name, L"renamed");
  EXPECT_FALSE(db.findThread(4, L"1147", found));
  EXPECT_FALSE(db.findThread(3, L"1148", found));
}

}  // namespace
}  // namespace stitchkit
