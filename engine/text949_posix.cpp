// Code page 949 through iconv ("CP949" is glibc's name for the Unified Hangul Code).
#include <cerrno>
#include <cwctype>
#include <iconv.h>

#include "runtime_error.h"
#include "text949.h"

namespace dravelin {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw RuntimeError("iconv_open", errno);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; a sequence the converter rejects becomes `replacement` and is skipped one
  // input unit at a time, so that no input can make the conversion fail.
  template <typename Out, typename In>
  std::basic_string<Out> convert(std::basic_string_view<In> in, Out replacement) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::basic_string<Out> out(in.size() * 2 + 4, Out{});
    char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    std::size_t srcLeft = in.size() * sizeof(In);
    std::size_t written = 0;
    while (srcLeft > 0) {
      char* dst = reinterpret_cast<char*>(out.data() + written);
      std::size_t dstLeft = (out.size() - written) * sizeof(Out);
      const std::size_t result = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      written = out.size() - dstLeft / sizeof(Out);
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {  // EILSEQ or EINVAL: an invalid or truncated sequence
        if (written == out.size()) out.resize(out.size() * 2);
        out[written++] = replacement;
        src += sizeof(In);
        srcLeft -= sizeof(In);
      }
    }
    out.resize(written);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string ToCp949(std::wstring_view text) {
  static Converter converter("CP949", "WCHAR_T");
  return converter.convert<char>(text, '?');
}

std::wstring FromCp949(std::string_view bytes) {
  static Converter converter("WCHAR_T", "CP949");
  return converter.convert<wchar_t>(bytes, L'\uFFFD');
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring upper(text);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return upper;
}

}  // namespace dravelin
