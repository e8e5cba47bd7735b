#pragma once
// Tests that serve files from the data index in memory, as the show serves
// its archive: message boxes off, an empty index in reading mode, and the
// index emptied and plain mode back afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/messagebox.h"
#include "util/data/data.h"

class DataIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setMessageBoxesEnabled(false);
    dataIndex.clear();
    dataMode = kDataReading;
  }
  void TearDown() override {
    dataIndex.clear();
    dataMode = kDataPlain;
  }

  static void put(const std::string& name, const std::vector<uint8_t>& bytes) {
    auto entry = std::make_unique<DataEntry>();
    entry->name = name;
    entry->data = bytes;
    dataIndex.push_back(std::move(entry));
  }
  static void put(const std::string& name, const std::string& text) {
    put(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
};
