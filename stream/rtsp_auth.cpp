#include "stream/rtsp_auth.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "stream/md5.h"

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int high = 0, low = 0;
    if (text[i] == '%' && i + 2 < text.size() && (high = HexDigit(text[i + 1])) >= 0 &&
        (low = HexDigit(text[i + 2])) >= 0) {
      out += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool HasControl(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  return false;
}

// The values of every header line called `name`.
std::vector<std::string_view> HeaderValues(std::string_view text, std::string_view name) {
  std::vector<std::string_view> values;
  while (!text.empty()) {
    size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        EqualNoCase(line.substr(0, name.size()), name))
      values.push_back(line.substr(name.size() + 1));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return values;
}

void SkipSpace(std::string_view* text) {
  while (!text->empty() && (text->front() == ' ' || text->front() == '\t' || text->front() == ','))
    text->remove_prefix(1);
}

std::string Token(std::string_view* text) {
  size_t end = 0;
  while (end < text->size() && (*text)[end] != ' ' && (*text)[end] != '\t' && (*text)[end] != ',' &&
         (*text)[end] != '=')
    ++end;
  std::string token(text->substr(0, end));
  text->remove_prefix(end);
  return token;
}

// A quoted string (backslash escapes the next character; an unclosed one runs to the end) or
// a token.
std::string Value(std::string_view* text) {
  if (text->empty() || text->front() != '"') return Token(text);
  text->remove_prefix(1);
  std::string value;
  while (!text->empty() && text->front() != '"') {
    if (text->front() == '\\' && text->size() > 1) text->remove_prefix(1);
    value += text->front();
    text->remove_prefix(1);
  }
  if (!text->empty()) text->remove_prefix(1);
  return value;
}

void Apply(AuthChallenge* challenge, const std::string& key, const std::string& value,
           bool* usable) {
  if (EqualNoCase(key, "realm")) challenge->realm = value;
  if (EqualNoCase(key, "nonce")) challenge->nonce = value;
  if (EqualNoCase(key, "opaque")) challenge->opaque = value;
  if (EqualNoCase(key, "stale")) challenge->stale = EqualNoCase(value, "true");
  if (EqualNoCase(key, "algorithm")) {
    challenge->sessionHash = EqualNoCase(value, "MD5-sess");
    *usable = challenge->sessionHash || EqualNoCase(value, "MD5");
  }
  if (EqualNoCase(key, "qop")) {
    for (size_t from = 0; from <= value.size();) {
      size_t comma = value.find(',', from);
      std::string part = value.substr(from, comma == std::string::npos ? comma : comma - from);
      while (!part.empty() && part.front() == ' ') part.erase(0, 1);
      while (!part.empty() && part.back() == ' ') part.pop_back();
      if (EqualNoCase(part, "auth")) challenge->qopAuth = true;
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
  }
}

std::optional<AuthChallenge> ParseOne(std::string_view text) {
  SkipSpace(&text);
  AuthChallenge challenge;
  std::string scheme = Token(&text);
  if (EqualNoCase(scheme, "Digest"))
    challenge.scheme = AuthChallenge::Scheme::kDigest;
  else if (!EqualNoCase(scheme, "Basic"))
    return std::nullopt;
  bool usable = true;
  for (SkipSpace(&text); !text.empty(); SkipSpace(&text)) {
    std::string key = Token(&text);
    if (text.empty() || text.front() != '=') {
      if (key.empty()) text.remove_prefix(1);
      continue;
    }
    text.remove_prefix(1);
    Apply(&challenge, key, Value(&text), &usable);
  }
  if (challenge.scheme == AuthChallenge::Scheme::kDigest && (!usable || challenge.nonce.empty()))
    return std::nullopt;
  return challenge;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string DigestLine(const AuthChallenge& c, const Credentials& who, const std::string& method,
                       const std::string& uri, unsigned nonceCount, const std::string& cnonce) {
  std::string ha1 = Md5Hex(who.user + ":" + c.realm + ":" + who.password);
  if (c.sessionHash) ha1 = Md5Hex(ha1 + ":" + c.nonce + ":" + cnonce);
  std::string ha2 = Md5Hex(method + ":" + uri);
  char nc[9];
  std::snprintf(nc, sizeof nc, "%08x", nonceCount);
  std::string response =
      c.qopAuth ? Md5Hex(ha1 + ":" + c.nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2)
                : Md5Hex(ha1 + ":" + c.nonce + ":" + ha2);
  std::string line = "Authorization: Digest username=" + Quoted(who.user) +
                     ", realm=" + Quoted(c.realm) + ", nonce=" + Quoted(c.nonce) +
                     ", uri=" + Quoted(uri) + ", response=" + Quoted(response);
  if (!c.opaque.empty()) line += ", opaque=" + Quoted(c.opaque);
  if (c.sessionHash) line += ", algorithm=MD5-sess";
  if (c.qopAuth) line += ", qop=auth, nc=" + std::string(nc) + ", cnonce=" + Quoted(cnonce);
  return line + "\r\n";
}

}  // namespace

bool SplitUrlCredentials(const std::string& url, std::string* bare, Credentials* credentials) {
  static constexpr std::string_view kPrefix = "rtsp://";
  if (HasControl(url)) return false;
  size_t from = url.compare(0, kPrefix.size(), kPrefix) == 0 ? kPrefix.size() : 0;
  size_t path = url.find('/', from);
  size_t at = url.rfind('@', path == std::string::npos ? std::string::npos : path);
  if (from == 0 || at == std::string::npos || at < from) {
    *bare = url;
    *credentials = Credentials{};
    return true;
  }
  std::string_view info(url.data() + from, at - from);
  size_t colon = info.find(':');
  Credentials found{PercentDecoded(info.substr(0, colon)),
                    colon == std::string_view::npos ? "" : PercentDecoded(info.substr(colon + 1))};
  if (HasControl(found.user) || HasControl(found.password)) return false;
  *bare = url.substr(0, from) + url.substr(at + 1);
  *credentials = std::move(found);
  return true;
}

std::string UrlWithoutPassword(const std::string& url) {
  size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  size_t from = scheme + 3;
  size_t path = url.find('/', from);
  size_t at = url.rfind('@', path == std::string::npos ? std::string::npos : path);
  if (at == std::string::npos || at < from) return url;
  size_t colon = url.find(':', from);
  if (colon == std::string::npos || colon > at) return url;
  return url.substr(0, colon) + url.substr(at);
}

std::optional<AuthChallenge> ParseAuthChallenge(std::string_view reply) {
  std::optional<AuthChallenge> basic;
  for (std::string_view value : HeaderValues(reply, "WWW-Authenticate")) {
    auto challenge = ParseOne(value);
    if (!challenge) continue;
    if (challenge->scheme == AuthChallenge::Scheme::kDigest) return challenge;
    if (!basic) basic = challenge;
  }
  return basic;
}

std::string AuthorizationLine(const AuthChallenge& challenge, const Credentials& credentials,
                              const std::string& method, const std::string& uri,
                              unsigned nonceCount, const std::string& cnonce) {
  if (challenge.scheme == AuthChallenge::Scheme::kDigest)
    return DigestLine(challenge, credentials, method, uri, nonceCount, cnonce);
  return "Authorization: Basic " + Base64(credentials.user + ":" + credentials.password) + "\r\n";
}

std::string Base64(std::string_view data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) group |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < data.size()) group |= static_cast<uint8_t>(data[i + 2]);
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += i + 1 < data.size() ? kAlphabet[group >> 6 & 63] : '=';
    out += i + 2 < data.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}
