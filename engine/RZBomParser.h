#pragma once
// Reader of bill-of-materials ("BOMStore") files: the records of the "Paths" tree with the
// relative path, owner, group and mode that a package receipt prescribes. The file is let go
// once it is read: the records keep copies of what they need.
//
// Every block id, offset, count and name is checked against the file; a parent chain that
// loops, a leaf chain that loops or any access past the end makes the parse fail.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/RZRecordTable.h"
#include "platform/Files.h"

namespace tarnix {

// The reader's state. Parse codes: 0 success, 1 unreadable, 2 not a usable BOM store.
class RZBomParser {
 public:
  enum Code : int { success = 0, unreadable = 1, notABomStore = 2 };

  explicit RZBomParser(std::string fileName);
  RZBomParser(const RZBomParser&) = delete;
  RZBomParser& operator=(const RZBomParser&) = delete;

  // Reads the file, then parses it.
  int parse();
  // Parses bytes already in memory (the file name is not used).
  int parseBytes(std::string bytes);
  int parseMapped(std::unique_ptr<platform::MappedFile> file);

  std::uint32_t filled() const { return filled_; }
  std::uint32_t count() const { return count_; }
  const RZFileSystemResource* results() const { return records_->data(); }
  // The records with their paths; shared with the resources made from them.
  const std::shared_ptr<RZRecordTable>& records() const { return records_; }

 private:
  int parseBuffer();
  int parseBufferSafely();
  int finish(int code);

  std::string fileName_;
  std::string buffer_;                            // the bytes, when given as a string
  std::unique_ptr<platform::MappedFile> mapped_;  // or mapped from the file, while it is read
  std::string_view data_;
  std::shared_ptr<RZRecordTable> records_ = std::make_shared<RZRecordTable>();
  std::uint32_t filled_ = 0;
  std::uint32_t count_ = 0;
};

// The object face of the reader: count and results are 0 and null until a parse succeeds.
class RZBomParserWrapper {
 public:
  explicit RZBomParserWrapper(std::string fileName);
  static std::unique_ptr<RZBomParserWrapper> initWithFileName(std::string fileName);

  // Called once. False for a file that cannot be read or is not a usable BOM store.
  bool parse();
  bool parseBytes(std::string bytes);
  bool parseMapped(std::unique_ptr<platform::MappedFile> file);

  std::uint32_t count() const { return count_; }
  const RZFileSystemResource* results() const { return results_; }
  // The path of record `index` ("./System/Library"), rebuilt from its parent's.
  std::string path(std::uint32_t index) const { return parser_.records()->path(index); }
  std::shared_ptr<const RZRecordTable> records() const { return parser_.records(); }

 private:
  bool adopt(int code);

  RZBomParser parser_;
  std::uint32_t count_ = 0;
  const RZFileSystemResource* results_ = nullptr;
};

}  // namespace tarnix
