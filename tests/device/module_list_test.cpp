// Module lists refer to modules that someone else owns.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/module_list.h"

namespace varnel {
namespace {

TEST(ModuleList, NewModuleIsNamedAfterItsKeyWithFlagsOff) {
  TModule m("Converter");
  EXPECT_EQ(m.Description, "Converter");
  EXPECT_TRUE(m.Path.empty());
  EXPECT_FALSE(m.bWait || m.AlwaysOK || m.OnlyOneFile);
}

TEST(ModuleList, HoldsTheSameModuleTwiceInOrder) {
  TModule a("A"), b("B");
  TExecuteModuleList exec;
  EXPECT_EQ(exec.Add(&a), 0);
  EXPECT_EQ(exec.Add(&b), 1);
  EXPECT_EQ(exec.Add(&a), 2);
  ASSERT_EQ(exec.Count(), 3);
  EXPECT_EQ(exec.Item(0), &a);
  EXPECT_EQ(exec.Item(1), &b);
  EXPECT_EQ(exec.Item(2), &a);
  EXPECT_EQ(exec.Item(-1), nullptr);
  EXPECT_EQ(exec.Item(3), nullptr);
}

TEST(ModuleList, DeleteAndClearLeaveTheModulesAlive) {
  // Modules owned outside; two lists share them, as the available and chosen lists do.
  std::vector<std::unique_ptr<TModule>> owner;
  owner.push_back(std::make_unique<TModule>("A"));
  owner.push_back(std::make_unique<TModule>("B"));
  TModuleList available;
  TExecuteModuleList chosen;
  for (auto& m : owner) {
    available.Add(m.get());
    chosen.Add(m.get());
  }
  chosen.Delete(0);
  chosen.Delete(5);
  chosen.Delete(-1);
  ASSERT_EQ(chosen.Count(), 1);
  EXPECT_EQ(chosen.Item(0)->Description, "B");
  available.Clear();
  EXPECT_EQ(available.Count(), 0);
  EXPECT_EQ(available.Item(0), nullptr);
  // Still usable through the owner and the other list.
  EXPECT_EQ(owner[0]->Description, "A");
  EXPECT_EQ(chosen.Item(0), owner[1].get());
}

}  // namespace
}  // namespace varnel
