// Code page 949 through iconv ("CP949" is glibc's name for the Unified Hangul Code).
#include "text949.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>

#include "runtime_error.h"

namespace dravelin {

namespace {

// Most input units handed to one iconv call (see Converter::convert).
constexpr std::size_t kLargestPiece = 1 << 16;

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
    std::size_t pieceUnits = kLargestPiece;
    while (srcLeft > 0) {
      const std::size_t writtenBefore = written;
      char* dst = reinterpret_cast<char*>(out.data() + written);
      std::size_t dstLeft = (out.size() - written) * sizeof(Out);
      // glibc converts through an internal form, and when the last step rejects a character it
      // converts everything it was handed again to find the input position: each rejected
      // character would cost as much as the remaining input, and a megabyte line of them would
      // take minutes. So the input goes in pieces that shrink to one unit after a rejection and
      // grow again while the text converts cleanly: linear time whatever the text.
      std::size_t pieceLeft = std::min(srcLeft, pieceUnits * sizeof(In));
      const std::size_t pieceSize = pieceLeft;
      const std::size_t result = iconv(cd_, &src, &pieceLeft, &dst, &dstLeft);
      const std::size_t consumed = pieceSize - pieceLeft;
      srcLeft -= consumed;
      written = out.size() - dstLeft / sizeof(Out);
      if (result != static_cast<std::size_t>(-1)) {
        pieceUnits = std::min(pieceUnits * 2, kLargestPiece);
      } else if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else if (errno == EINVAL && pieceLeft < srcLeft) {
        // The piece ends inside a sequence: a larger piece from the sequence's start holds it.
        pieceUnits = std::min(pieceUnits * 2, kLargestPiece);
      } else if (consumed > 0 && pieceLeft > 0) {
        // Stopped inside the piece. Usually the rejected sequence lies ahead, but glibc stops
        // behind some that it has consumed (code page 949 A2 E8, a place with no character):
        // convert the stretch again as a piece of its own, which tells the two apart.
        src -= consumed;
        srcLeft += consumed;
        written = writtenBefore;
        pieceUnits = consumed / sizeof(In);
      } else {
        // A rejected sequence: ahead, or consumed as the piece's last (then nothing is skipped).
        if (written == out.size()) out.resize(out.size() * 2);
        out[written++] = replacement;
        const std::size_t skipped = pieceLeft > 0 ? sizeof(In) : 0;
        src += skipped;
        srcLeft -= skipped;
        pieceUnits = 1;
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
