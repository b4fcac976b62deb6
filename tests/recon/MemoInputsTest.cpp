// Tests of the input walk a search memo uses to recognise an unchanged search: a stored
// sequence matches only the very same words, neither a prefix nor a longer walk.
#include <gtest/gtest.h>

#include <vector>

#include "recon/MemoInputs.h"

namespace {

// Walks the words through a sink as the gathering functions do (single words and runs
// mixed); false when the sink stopped the walk.
template <typename Sink> bool walk(const std::vector<int32_t>& words, Sink& sink) {
    size_t i = 0;
    while (i < words.size()) {
        if (i % 3 == 0 && i + 2 <= words.size()) {
            if (!sink.put(words.data() + i, words.data() + i + 2)) {
                return false;
            }
            i += 2;
        } else if (!sink.put(words[i++])) {
            return false;
        }
    }
    return true;
}

bool matches(const std::vector<int32_t>& stored, const std::vector<int32_t>& walked) {
    MatchingInputs sink(stored);
    return walk(walked, sink) && sink.complete();
}

} // namespace

TEST(MemoInputs, AppendingKeepsEveryWordAndMatchingWantsExactlyTheStoredOnes) {
    const std::vector<int32_t> words{7, -1, 0, 42, 42, -5, 3, 9};
    std::vector<int32_t> kept;
    AppendingInputs append{kept};
    ASSERT_TRUE(walk(words, append));
    EXPECT_EQ(kept, words);

    EXPECT_TRUE(matches(words, words));
    // A walk that stops early, or one that goes on past the stored words, is no match.
    EXPECT_FALSE(matches(words, std::vector<int32_t>(words.begin(), words.end() - 1)));
    std::vector<int32_t> longer = words;
    longer.push_back(0);
    EXPECT_FALSE(matches(words, longer));
    // One word changed anywhere, in a single word or in a run.
    for (size_t i = 0; i < words.size(); ++i) {
        std::vector<int32_t> changed = words;
        changed[i] += 1;
        EXPECT_FALSE(matches(words, changed)) << "word " << i;
    }
    // An empty stored sequence matches only an empty walk; an empty run matches anywhere.
    EXPECT_TRUE(matches({}, {}));
    EXPECT_FALSE(matches({}, {0}));
    MatchingInputs sink(words);
    EXPECT_TRUE(sink.put(words.data(), words.data()));
    EXPECT_FALSE(sink.complete());
}
