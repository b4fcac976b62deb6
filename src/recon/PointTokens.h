// PointTokens: KINDS tokens per point (0: none), for the few points of a cloud that ever get
// one (the remembered refusals of the passes after every layer). Each point holds a slot
// number, 0 until it gets its first token; the tokens lie in the numbered slots.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

template <size_t KINDS> class PointTokens {
  public:
    // Room for count points, none with a token.
    void assign(size_t count) {
        slotOf.assign(count, 0);
        tokens.assign(KINDS, 0);
    }
    // Number of points there is room for.
    size_t size() const { return slotOf.size(); }
    // The token number k (below KINDS) of point p, which must be below size(); 0 for none.
    uint32_t get(size_t p, size_t k) const { return tokens[KINDS * size_t{slotOf[p]} + k]; }
    // Sets the token number k (below KINDS) of point p, which must be below size().
    void put(size_t p, size_t k, uint32_t token) {
        uint32_t& slot = slotOf[p];
        if (slot == 0) {
            slot = static_cast<uint32_t>(tokens.size() / KINDS);
            tokens.resize(tokens.size() + KINDS, 0);
        }
        tokens[KINDS * size_t{slot} + k] = token;
    }
    // Sets every token to 0.
    void zeroAll() { std::fill(tokens.begin(), tokens.end(), 0); }
    // Number of points that got a token since the last assign.
    size_t pointsWithTokens() const { return tokens.empty() ? 0 : tokens.size() / KINDS - 1; }
    // Returns the storage.
    void release() {
        std::vector<uint32_t>().swap(slotOf);
        std::vector<uint32_t>().swap(tokens);
    }

  private:
    std::vector<uint32_t> slotOf; // per point; slot 0 holds no token and is never written
    std::vector<uint32_t> tokens; // per slot, its KINDS tokens
};
