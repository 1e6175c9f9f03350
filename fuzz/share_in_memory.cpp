#include "share_in_memory.h"

#include <algorithm>

namespace dravelin::fuzzing {

namespace {

// The configuration file's lines, as the file would give them.
class TextInMemory final : public TextInput {
 public:
  explicit TextInMemory(std::string text) : text_(std::move(text)) {}
  bool atEnd() override { return at_ >= text_.size(); }
  std::string readLine() override {
    std::size_t end = text_.find('\n', at_);
    if (end == std::string::npos) end = text_.size();
    std::string line = text_.substr(at_, end - at_);
    if (line.ends_with('\r')) line.pop_back();
    at_ = end + 1;
    return line;
  }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

const StoredEntry* ReachedIn(const std::vector<StoredEntry>& folder, const std::wstring& name) {
  const std::wstring key = CaselessKey(name);
  for (const StoredEntry& entry : folder) {
    if (CaselessKey(entry.name) == key) return &entry;
  }
  for (const StoredEntry& entry : folder) {
    if (!entry.shortName.empty() && CaselessKey(entry.shortName) == key) return &entry;
  }
  return nullptr;
}

}  // namespace

bool ShareInMemory::FailsLookUp(const std::wstring& name) const {
  return std::ranges::any_of(server_, [&](const StoredEntry& file) {
    return file.lookUpFails && CaselessKey(file.name) == CaselessKey(name);
  });
}

StoredEntry* ShareInMemory::Reached(const std::wstring& name) {
  return const_cast<StoredEntry*>(ReachedIn(client_, name));
}

void ShareInMemory::copyFile(const std::wstring& source, const std::wstring& destination,
                             const FileVersion& listed, ListedDestination found) {
  const std::lock_guard lock(mutex_);
  const std::wstring name = NameIn(source, kServerFolder);
  if (NameInClient(destination) != name) Fail("a copy to another name than its source's");
  const std::wstring key = CaselessKey(name);
  for (const MadeCopy& made : copies_) {
    if (CaselessKey(made.name) == key) Fail("a file copied twice");
  }
  copies_.push_back({name, listed, found});
  if (found == ListedDestination::Missing && ReachedIn(before_, name)) {
    Fail("a copy told that nothing was there where something was");
  }
  const auto from = std::ranges::find(server_, name, &StoredEntry::name);
  if (from == server_.end()) Fail("a copy of a file that the server never listed");
  if (from->copyFails) throw RuntimeError("copyFile (fuzz: the share went away)", 64);
  if (from->version != listed) throw RuntimeError("copyFile (fuzz: not the version listed)", 13);
  StoredEntry* to = Reached(name);
  if (to && to->folder) throw RuntimeError("copyFile (fuzz: a folder in the way)", 5);
  // A short name that reaches a file of another long name: the copy looks its destination up
  // again before the rename, and drops itself.
  if (to && CaselessKey(to->name) != key)
    throw RuntimeError("copyFile (fuzz: another file's name)", 80);
  if (!to) to = &client_.emplace_back();
  to->name = name;
  to->version = listed;
  to->contents = from->contents;
}

std::unique_ptr<TextInput> ShareInMemory::openTextInput(const std::wstring& path) {
  NameInClient(path);
  if (faults_.configUnreadable) throw RuntimeError("openTextInput (fuzz)", 32);
  return std::make_unique<TextInMemory>(config_);
}

}  // namespace dravelin::fuzzing
