#pragma once
// Fixed-size hash table of string keys: `CKeHashTable<T, N>`
// holds N entries {value, used flag, check hash A, check hash B} and a crypt
// table of 5 x 256 u32 values. The key strings are not stored: two keys are
// the same key when both check hashes agree. Linear probing from the start
// slot, wrapping; empty slots do not end a search; entries are never
// replaced or removed. Keys are compared case-insensitively (ASCII).
//
// Because empty slots do not end a search, a key that is absent costs a walk
// over all N slots. A presence filter over the low 16 bits of check hash A
// (set on insert, never cleared but by Clear) answers most of those misses at
// once; it has no false negatives, so every answer is the one the full walk
// would give.

#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>

template <typename T, unsigned N>
class CKeHashTable {
  static_assert(N > 0 && (N & (N - 1)) == 0, "the slot count must be a power of two");
  static_assert(std::is_trivially_copyable_v<T>, "values are stored in zero-initialised entries");

 public:
  static constexpr unsigned kSlots = N;
  static constexpr unsigned kCryptRows = 5;
  static constexpr unsigned kCryptTableSize = kCryptRows * 256;

  struct Entry {
    T value;
    std::int32_t used;
    std::uint32_t hashA;
    std::uint32_t hashB;
  };

  // Entries and crypt table zeroed; lookups find nothing until keys are
  // inserted (the crypt table is built by InitliazeCryptTable).
  CKeHashTable() : m_pEntries(new Entry[N]()) {}
  CKeHashTable(const CKeHashTable&) = delete;
  CKeHashTable& operator=(const CKeHashTable&) = delete;

  // Zeroes every entry and the crypt table.
  void Clear() {
    std::memset(static_cast<void*>(m_pEntries.get()), 0, sizeof(Entry) * N);
    m_cryptTable.fill(0);
    m_presentA.reset();
  }

  // seed = 0x00100001; for i = 0..255, for row = 0..4:
  //   seed = (seed * 125 + 3) mod 0x2AAAAB; high = seed << 16;
  //   seed = (seed * 125 + 3) mod 0x2AAAAB;
  //   table[row * 256 + i] = high | (seed & 0xFFFF).
  void InitliazeCryptTable() {
    std::uint32_t seed = 0x00100001u;
    for (unsigned i = 0; i < 256; ++i) {
      for (unsigned row = 0; row < kCryptRows; ++row) {
        seed = (seed * 125u + 3u) % 0x2AAAABu;
        const std::uint32_t high = seed << 16;
        seed = (seed * 125u + 3u) % 0x2AAAABu;
        m_cryptTable[row * 256 + i] = high | (seed & 0xFFFFu);
      }
    }
  }

  // h = 0x7FED7FED, k = 0xEEEEEEEE; per byte c: u = toupper(c);
  // h = table[row * 256 + u] ^ (h + k); k = k * 97 + u + h.
  // Upper-casing is ASCII only (the C locale's toupper), so the hash does not
  // depend on the process locale. Row must be below 5.
  std::uint32_t GetHashCode(std::string_view key, unsigned row) const {
    std::uint32_t h = 0x7FED7FEDu;
    std::uint32_t k = 0xEEEEEEEEu;
    const std::uint32_t* table = m_cryptTable.data() + (row % kCryptRows) * 256;
    for (const char ch : key) {
      std::uint32_t u = static_cast<unsigned char>(ch);
      if (u >= 'a' && u <= 'z') u -= 'a' - 'A';
      h = table[u] ^ (h + k);
      k = k * 97u + u + h;
    }
    return h;
  }
  std::uint32_t GetHashCode(const char* key, unsigned row) const {
    return key == nullptr ? 0 : GetHashCode(std::string_view(key), row);
  }

  // Slot of the first used entry, in probe order from the key's start slot,
  // whose check hashes equal the key's; -1 when none (or a null key).
  int GetHashTablePos(std::string_view key) const {
    const std::uint32_t a = GetHashCode(key, 1);
    if (!m_presentA.test(a & 0xFFFFu)) return -1;  // no entry has this hash A
    const unsigned start = GetHashCode(key, 0) & (N - 1);
    const std::uint32_t b = GetHashCode(key, 2);
    unsigned pos = start;
    do {
      const Entry& e = m_pEntries[pos];
      if (e.used != 0 && e.hashA == a && e.hashB == b) return static_cast<int>(pos);
      pos = (pos + 1) & (N - 1);
    } while (pos != start);
    return -1;
  }
  int GetHashTablePos(const char* key) const { return key == nullptr ? -1 : GetHashTablePos(std::string_view(key)); }

  // Stores the key in the first unused slot from its start slot; 1 on
  // success, 0 for a null key or a full table. An equal key already present
  // is not looked for (the earlier entry keeps winning lookups).
  int InsertNode(std::string_view key, T value) {
    const unsigned start = GetHashCode(key, 0) & (N - 1);
    unsigned pos = start;
    do {
      Entry& e = m_pEntries[pos];
      if (e.used == 0) {
        e.used = 1;
        e.hashA = GetHashCode(key, 1);
        e.hashB = GetHashCode(key, 2);
        e.value = value;
        m_presentA.set(e.hashA & 0xFFFFu);
        return 1;
      }
      pos = (pos + 1) & (N - 1);
    } while (pos != start);
    return 0;
  }
  int InsertNode(const char* key, T value) { return key == nullptr ? 0 : InsertNode(std::string_view(key), value); }

  // 1 and the entry's value in `value` when the key is present, else 0
  // (`value` untouched).
  int FindNode(std::string_view key, T& value) const {
    const int pos = GetHashTablePos(key);
    if (pos < 0) return 0;
    value = m_pEntries[pos].value;
    return 1;
  }
  int FindNode(const char* key, T& value) const { return key == nullptr ? 0 : FindNode(std::string_view(key), value); }

  const Entry& GetEntry(unsigned pos) const { return m_pEntries[pos & (N - 1)]; }
  std::uint32_t GetCryptValue(unsigned index) const { return m_cryptTable[index % kCryptTableSize]; }

 private:
  std::unique_ptr<Entry[]> m_pEntries;
  std::array<std::uint32_t, kCryptTableSize> m_cryptTable{};
  std::bitset<65536> m_presentA;  // low 16 bits of every stored hash A
};
