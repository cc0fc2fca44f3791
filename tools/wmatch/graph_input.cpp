// Strict reading of the matching input. Every fault names its line.
#include "tools/wmatch/graph_input.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <unordered_map>

namespace wmatch {
namespace {

// Vertex counts beyond this cannot come from a pairing grid and would only
// make the program allocate without end.
constexpr std::int64_t kMaxVertices = 1 << 20;

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // Next line that is not blank; false at the end of the text.
  bool Next() {
    while (pos_ < text_.size()) {
      std::size_t end = text_.find('\n', pos_);
      if (end == std::string_view::npos) end = text_.size();
      line_ = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      ++number_;
      if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
      if (line_.find_first_not_of(" \t\r") != std::string_view::npos) return true;
    }
    ++number_;  // the (missing) line after the last one
    pos_ = text_.size();
    return false;
  }
  std::string_view line() const { return line_; }
  long number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::string_view line_;
  long number_ = 0;
};

// The blank-separated words of a line; lines of the format have at most four,
// so a fifth only marks the line as too long.
struct Tokens {
  explicit Tokens(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && count < 5) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
      std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      if (i > start) words[count++] = line.substr(start, i - start);
    }
  }
  std::size_t size() const { return count; }
  std::string_view operator[](std::size_t i) const { return words[i]; }

  std::string_view words[5];
  std::size_t count = 0;
};

bool ToInt(std::string_view token, std::int64_t& value) {
  if (!token.empty() && token[0] == '+') token.remove_prefix(1);
  if (token.empty() || token[0] == '+') return false;
  auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  return ec == std::errc() && ptr == token.data() + token.size();
}

// Each undirected edge as first listed (weight, line) and whether its second
// listing has been seen. Dense for the fields a pairing produces, hashed
// beyond.
struct Listing {
  std::int64_t weight = 0;
  long line = 0;  // 0: not listed
  bool twice = false;
};

class ListingTable {
 public:
  explicit ListingTable(std::int64_t n, std::int64_t m) : n_(n), dense_mode_(n <= kDenseLimit) {
    if (dense_mode_) {
      dense_.resize(static_cast<std::size_t>(n * n));
    } else {
      // The header's count is not trusted before the edges are there.
      hashed_.reserve(static_cast<std::size_t>(std::min<std::int64_t>(m, 1 << 20)));
    }
  }

  // The entry of edge a-b (a != b), created empty when new.
  Listing& At(std::int64_t a, std::int64_t b) {
    if (a > b) std::swap(a, b);
    if (dense_mode_) return dense_[static_cast<std::size_t>((a - 1) * n_ + (b - 1))];
    return hashed_[(static_cast<std::uint64_t>(a) << 32) | static_cast<std::uint64_t>(b)];
  }

  // Calls fn(u, v, listing) for every listed edge, u < v, in increasing order.
  template <typename Fn>
  void ForEach(Fn fn) const {
    if (dense_mode_) {
      for (std::int64_t u = 1; u <= n_; ++u) {
        for (std::int64_t v = u + 1; v <= n_; ++v) {
          const Listing& l = dense_[static_cast<std::size_t>((u - 1) * n_ + (v - 1))];
          if (l.line != 0) fn(u, v, l);
        }
      }
      return;
    }
    std::vector<std::uint64_t> keys;
    keys.reserve(hashed_.size());
    for (const auto& entry : hashed_) keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end());
    for (std::uint64_t key : keys) {
      fn(static_cast<std::int64_t>(key >> 32), static_cast<std::int64_t>(key & 0xffffffffu),
         hashed_.at(key));
    }
  }

 private:
  static constexpr std::int64_t kDenseLimit = 1024;
  std::int64_t n_;
  bool dense_mode_;
  std::vector<Listing> dense_;
  std::unordered_map<std::uint64_t, Listing> hashed_;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : reader_(text) {}

  ParseResult Run() {
    ParseResult result;
    result.ok = ParseAll(result.graph);
    result.error = error_;
    return result;
  }

 private:
  bool Fail(long line, const std::string& what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  bool Fail(const std::string& what) { return Fail(reader_.number(), what); }

  // The line's tokens as integers, `count` of them (the first `count` when
  // `rest` names text allowed after them).
  bool Numbers(const Tokens& tokens, std::size_t count,
               std::int64_t* values) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!ToInt(tokens[i], values[i])) {
        return Fail("'" + std::string(tokens[i]) + "' is not an integer");
      }
    }
    return true;
  }

  bool ParseHeader(std::int64_t& n, std::int64_t& m) {
    if (!reader_.Next()) return Fail("empty input, expected the header \"n m U\"");
    Tokens tokens(reader_.line());
    if (tokens.size() != 3 || tokens[2] != "U") {
      return Fail("bad header, expected \"n m U\"");
    }
    std::int64_t values[2];
    if (!Numbers(tokens, 2, values)) return false;
    n = values[0];
    m = values[1];
    if (n < 0 || n > kMaxVertices) return Fail("vertex count " + std::to_string(n) + " out of range");
    if (m < 0 || m > n * (n - 1) / 2) {
      return Fail("edge count " + std::to_string(m) + " impossible for " + std::to_string(n) +
                  " vertices");
    }
    return true;
  }

  bool ParseVertex(std::int64_t n, std::int64_t i, std::int64_t& degree) {
    if (!reader_.Next()) return Fail("unexpected end of input, expected vertex " + std::to_string(i));
    Tokens tokens(reader_.line());
    if (tokens.size() != 4) return Fail("expected the vertex line \"degree " + std::to_string(i) + " 0 0\"");
    std::int64_t values[4];
    if (!Numbers(tokens, 4, values)) return false;
    if (values[1] != i) {
      return Fail("vertex " + std::to_string(values[1]) + " where vertex " + std::to_string(i) +
                  " was expected");
    }
    degree = values[0];
    if (degree < 0 || degree > n - 1) return Fail("degree " + std::to_string(degree) + " out of range");
    return true;
  }

  bool ParseNeighbour(std::int64_t n, std::int64_t i, std::vector<std::int64_t>& seen_under) {
    if (!reader_.Next()) {
      return Fail("unexpected end of input in the neighbours of vertex " + std::to_string(i));
    }
    Tokens tokens(reader_.line());
    if (tokens.size() != 2) return Fail("expected a neighbour line \"vertex weight\"");
    std::int64_t values[2];
    if (!Numbers(tokens, 2, values)) return false;
    std::int64_t j = values[0];
    std::int64_t weight = values[1];
    if (j < 1 || j > n) return Fail("vertex " + std::to_string(j) + " out of range 1.." + std::to_string(n));
    if (j == i) return Fail("vertex " + std::to_string(i) + " lists itself");
    if (weight < -kMaxWeight || weight > kMaxWeight) {
      return Fail("weight " + std::to_string(weight) + " is too large");
    }
    if (seen_under[static_cast<std::size_t>(j)] == i) {
      return Fail("vertex " + std::to_string(j) + " listed twice under vertex " + std::to_string(i));
    }
    seen_under[static_cast<std::size_t>(j)] = i;
    Listing& listing = listings_->At(i, j);
    if (listing.line == 0) {
      listing.weight = weight;
      listing.line = reader_.number();
    } else {
      if (listing.weight != weight) {
        return Fail("edge " + std::to_string(j) + "-" + std::to_string(i) + " weighs " +
                    std::to_string(weight) + " here but " + std::to_string(listing.weight) +
                    " on line " + std::to_string(listing.line));
      }
      listing.twice = true;
    }
    return true;
  }

  bool ParseAll(Graph& graph) {
    std::int64_t n = 0;
    std::int64_t m = 0;
    if (!ParseHeader(n, m)) return false;
    listings_ = std::make_unique<ListingTable>(n, m);
    std::vector<std::int64_t> seen_under(static_cast<std::size_t>(n) + 1, 0);
    std::int64_t listed = 0;
    for (std::int64_t i = 1; i <= n; ++i) {
      std::int64_t degree = 0;
      if (!ParseVertex(n, i, degree)) return false;
      for (std::int64_t k = 0; k < degree; ++k) {
        if (!ParseNeighbour(n, i, seen_under)) return false;
      }
      listed += degree;
    }
    if (reader_.Next()) return Fail("unexpected text after the last vertex");
    long once_line = 0;
    std::int64_t once_u = 0;
    std::int64_t once_v = 0;
    listings_->ForEach([&](std::int64_t u, std::int64_t v, const Listing& listing) {
      if (!listing.twice && (once_line == 0 || listing.line < once_line)) {
        once_line = listing.line;
        once_u = u;
        once_v = v;
      }
    });
    if (once_line != 0) {
      return Fail(once_line, "edge " + std::to_string(once_u) + "-" + std::to_string(once_v) +
                                 " is listed under one of its ends only");
    }
    if (listed != 2 * m) {
      return Fail(1, "the header announces " + std::to_string(m) + " edges, the vertices list " +
                         std::to_string(listed / 2));
    }
    graph.vertex_count = static_cast<int>(n);
    graph.edges.reserve(static_cast<std::size_t>(m));
    listings_->ForEach([&](std::int64_t u, std::int64_t v, const Listing& listing) {
      graph.edges.push_back(Edge{static_cast<int>(u), static_cast<int>(v), listing.weight});
    });
    return true;
  }

  LineReader reader_;
  std::unique_ptr<ListingTable> listings_;
  std::string error_;
};

}  // namespace

ParseResult ParseGraph(std::string_view text) { return Parser(text).Run(); }

}  // namespace wmatch
