#include "ux/text/UXTextLayout.h"

#include <algorithm>
#include <cstring>

#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

namespace {

// The one scratch buffer each measured piece is copied into, NUL-terminated.
char gTLScratch[UXTextLayout::kPieceBytes + 1];

bool isContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// End of the stretch that starts in run i at pos (the plain form of styleEnd,
// with limit already inside the text).
int32_t stretchEnd(const AttributedString& attr, uint32_t i, int32_t pos, int32_t limit,
                   const UXTextStyle& base) {
  int32_t p = pos;
  const uint32_t n = attr.runCount();
  UXTextStyle next;
  while (p < limit && i < n) {
    p = std::min(attr._run(i).end(), limit);
    if (p >= limit) break;
    ++i;
    UXTextLayout::styleOfRun(attr, i, next);
    if (!next.sameFields(base)) break;
  }
  return p > pos ? p : pos + 1;
}

uint32_t measure(const char* bytes, int32_t n, uint32_t size, const UXTextStyle& style, UXViewDriver* driver) {
  if (!driver) return uint32_t(n) * 8;
  std::memcpy(gTLScratch, bytes, size_t(n));
  gTLScratch[n] = 0;
  return driver->textWidthStyled(gTLScratch, "", size, style.bold, style.italic);
}

// The run holding offset, looked for first at hint and the run after it (the
// wrapper measures from the same line start many times).
uint32_t runNear(const AttributedString& attr, int32_t offset, uint32_t* hint) {
  const uint32_t n = attr.runCount();
  if (hint) {
    for (uint32_t i = *hint; i < n && i <= *hint + 1; i++) {
      const AttributedString::Run& r = attr._run(i);
      if (r.start <= offset && offset < r.end()) return *hint = i;
    }
  }
  const uint32_t i = attr._runIndexAt(offset);
  if (hint) *hint = i;
  return i;
}

uint32_t span(const AttributedString& attr, int32_t from, int32_t to, uint32_t defaultSize,
              uint32_t* hint = nullptr) {
  const int32_t len = attr.byteLength();
  from = std::max(from, 0);
  to = std::min(to, len);
  if (from >= to) return 0;
  const char* bytes = attr.text->cString();
  UXViewDriver* driver = gDriver.get();
  uint32_t total = 0;
  int32_t pos = from;
  uint32_t i = runNear(attr, pos, hint);
  UXTextStyle style;
  for (;;) {
    UXTextLayout::styleOfRun(attr, i, style);
    const int32_t end = stretchEnd(attr, i, pos, to, style);
    const uint32_t size = style.signedSize() > 0 ? uint32_t(style.signedSize()) : defaultSize;
    for (int32_t p = pos; p < end;) {
      int32_t n = std::min(end - p, UXTextLayout::kPieceBytes);
      if (p + n < end) {
        int32_t back = n;
        while (back > n - 3 && back > 1 && isContinuation(uint8_t(bytes[p + back]))) back--;
        if (!isContinuation(uint8_t(bytes[p + back]))) n = back;
      }
      total += measure(bytes + p, n, size, style, driver);
      p += n;
    }
    if (end >= to) break;
    pos = end;
    while (i < attr.runCount() && attr._run(i).end() <= pos) ++i;
  }
  return total;
}

bool fits(const AttributedString& attr, int32_t from, int32_t to, int32_t width, uint32_t defaultSize,
          uint32_t* hint) {
  return int32_t(span(attr, from, to, defaultSize, hint)) <= width;
}

}  // namespace

void UXTextLayout::styleOfRun(const AttributedString& attr, uint32_t i, UXTextStyle& out) {
  const AttributedString::Run& run = attr._run(i);
  if (run.memoValid) {
    out.unpack(run.memo);
    return;
  }
  out.readFrom(run.attributes.get());
  out.pack(run.memo);
  run.memoValid = 1;
}

void UXTextLayout::styleAt(const AttributedString& attr, int32_t offset, UXTextStyle& out) {
  if (offset < 0 || offset >= attr.byteLength()) {
    out.readFrom(nullptr);
    return;
  }
  styleOfRun(attr, attr._runIndexAt(offset), out);
}

uint32_t UXTextLayout::styleEnd(Ptr<const AttributedString> attr, uint32_t pos, int32_t limit) {
  if (!attr) return pos + 1;
  const int32_t p = int32_t(pos);
  limit = std::min(limit, attr->byteLength());
  if (p < 0 || p >= limit) return pos + 1;
  UXTextStyle base;
  const uint32_t i = attr->_runIndexAt(p);
  styleOfRun(*attr, i, base);
  return uint32_t(stretchEnd(*attr, i, p, limit, base));
}

uint32_t UXTextLayout::spanWidthAttr(Ptr<const AttributedString> attr, int32_t from, int32_t to,
                                     uint32_t defaultSize) {
  if (!attr || from >= to) return 0;
  return span(*attr, from, to, defaultSize);
}

void UXTextLayout::wrapInto(const AttributedString& attr, int32_t from, int32_t to, int32_t width,
                            uint32_t defaultSize, std::vector<UXLineSpan>& out) {
  const char* b = attr.text->cString();
  to = std::min(to, attr.byteLength());
  int32_t pos = std::max(from, 0), lineStart = -1, lineEnd = 0;
  uint32_t hint = 0;
  while (pos < to) {
    const char c = b[pos];
    if (c == '\n') {
      if (lineStart < 0) out.push_back({pos, 0});
      else out.push_back({lineStart, lineEnd - lineStart});
      pos++;
      lineStart = -1;
      continue;
    }
    if (c == ' ') {
      pos++;
      continue;
    }
    int32_t wordEnd = pos + 1;
    while (wordEnd < to && b[wordEnd] != ' ' && b[wordEnd] != '\n') wordEnd++;
    if (lineStart >= 0 && fits(attr, lineStart, wordEnd, width, defaultSize, &hint)) {
      pos = lineEnd = wordEnd;
      continue;
    }
    if (lineStart >= 0) out.push_back({lineStart, lineEnd - lineStart});
    // Cut the word into lines of whole characters while it is too wide.
    int32_t p = pos;
    while (!fits(attr, p, wordEnd, width, defaultSize, &hint)) {
      int32_t firstChar = 0, k = 0;
      for (int32_t q = p; q < wordEnd;) {
        int32_t nq = q + 1;
        while (nq < wordEnd && isContinuation(uint8_t(b[nq]))) nq++;
        if (!firstChar) firstChar = nq - p;
        if (!fits(attr, p, nq, width, defaultSize, &hint)) break;
        k = nq - p;
        q = nq;
      }
      const int32_t take = std::max(k, firstChar);
      if (p + take >= wordEnd) break;
      out.push_back({p, take});
      p += take;
    }
    lineStart = p;
    pos = lineEnd = wordEnd;
  }
  if (lineStart >= 0) out.push_back({lineStart, lineEnd - lineStart});
}

Ref<Array> UXTextLayout::wrapAttr(Ptr<const AttributedString> attr, int16_t width, uint32_t defaultSize) {
  Ref<Array> lines = make<Array>();
  if (!attr) return lines;
  std::vector<UXLineSpan> spans;
  wrapInto(*attr, 0, attr->byteLength(), width, defaultSize, spans);
  for (const UXLineSpan& l : spans) lines->add(Range::with(l.start, l.length));
  return lines;
}

}  // namespace quorl
