// Writes small valid files into <folder>/idc and <folder>/cfx as seeds for the fuzzers.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/cfx_writer.h"
#include "files/idc_blocks.h"
#include "files_test_util.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  using namespace varnel;
  const fs::path root = argv[1];
  fs::create_directories(root / "idc");
  fs::create_directories(root / "cfx");

  IdcLoggerInfo logger = test::SampleLogger();
  WriteIdcFile(root / "idc" / "entries.IDC", kIdcVersionText, logger, test::SampleRecord(),
               test::SampleEntries());
  logger.WideCfg9 = false;
  logger.ChannelMask = 0x003F;
  logger.CommentText.clear();
  logger.IdentityText.clear();
  WriteIdcFile(root / "idc" / "empty.IDC", kIdcVersionText, logger, test::SampleRecord(), {});

  CfxContent c;
  c.NewCommentText = "Comment";
  c.NewIdText = "Identity";
  c.NewFloats100[1] = test::FloatFromBytes(0, 1, 1, 0);
  test::WriteBytes(root / "cfx" / "wl217.cfx", BuildConfigData(c, {"WRITER_WL", " 2.17"}));
  c.NewCommentText.clear();
  test::WriteBytes(root / "cfx" / "st216.cfx", BuildConfigData(c, {"writer_st", " 2.16"}));
  return 0;
}
