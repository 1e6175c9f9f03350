#include "text_input.h"

#include <cerrno>

#include "runtime_error.h"

namespace dravelin {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

class StreamTextInput final : public TextInput {
 public:
  explicit StreamTextInput(std::FILE* file) : file_(file) {}

  bool atEnd() override {
    const int c = std::getc(file_.get());
    if (c == EOF) {
      failIfError();
      return true;
    }
    std::ungetc(c, file_.get());
    return false;
  }

  std::string readLine() override {
    std::string line;
    int c = std::getc(file_.get());
    for (; c != EOF && c != '\n'; c = std::getc(file_.get())) line.push_back(static_cast<char>(c));
    failIfError();
    // CR LF ends a line, as does a bare LF; a CR anywhere else is part of the line.
    if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

 private:
  void failIfError() {
    if (std::ferror(file_.get())) throw RuntimeError("read", errno);
  }

  std::unique_ptr<std::FILE, FileCloser> file_;
};

}  // namespace

std::unique_ptr<TextInput> MakeTextInput(std::FILE* file) {
  return std::make_unique<StreamTextInput>(file);
}

}  // namespace dravelin
