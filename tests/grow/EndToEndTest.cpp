// Whole runs of the built program on generated samples: mesh quality through mesh_check,
// byte-identical output across runs, and the effect of the settings file on construction.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/RunDirectory.h"

namespace {

// A run directory holding a generated "rawPoints.txt".
struct SampleRun : meshtest::RunDirectory {
    SampleRun(const std::string& shape, int count, int seed) { generate(shape, count, seed); }

    void writeSettings(const std::string& text) const {
        std::ofstream(path / "configuration.txt") << text;
    }
    std::string run(const std::string& arguments = "") const {
        const meshtest::Outcome outcome = fanmesh(arguments);
        EXPECT_EQ(outcome.status, 0);
        return outcome.console;
    }
    std::string mesh() const { return meshtest::readFile(path / "outOFFFile.ply"); }
    // The figures mesh_check reports, by name.
    std::map<std::string, double> check(const std::string& mesh = "outOFFFile.ply") const {
        EXPECT_EQ(
            shell("'" FANMESH_BINARY_DIR "/mesh_check' rawPoints.txt " + mesh + " > check.txt"), 0);
        std::map<std::string, double> figures;
        std::istringstream lines(meshtest::readFile(path / "check.txt"));
        std::string line;
        while (std::getline(lines, line)) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) {
                figures[line.substr(0, colon)] = std::stod(line.substr(colon + 1));
            }
        }
        return figures;
    }
};

// Path mode withdrawing the fans round every fold, as the folder run does: the rules tested
// with it were measured on samples that keeping them round folds on thin parts also mends.
#define THIN_FOLD_NEIGHBOURS_WITHDRAWN "--withdraw-fold-neighbours-on-thin-parts"
// Path-mode switches back to the clean-up rules of the folder run.
#define CLEAN_UP_AS_IN_FOLDER                                                                      \
    "--withdraw-pinched-points --fold-removal-may-split "                                          \
    "--leave-points-out-after-folds " THIN_FOLD_NEIGHBOURS_WITHDRAWN
// Path mode with rays that count points at any distance ahead, as the folder run does: the
// rules tested with it act on samples that the ray reach alone already meshes further.
#define UNLIMITED_RAYS "--ray-reach 0"
// Path mode with the unwanted-point percent of the settings file (and the folder run): the
// rules tested with it were measured on the points that percent leaves to the growth.
#define UNWANTED_20 "--unwanted-percent 20"
// Path mode with fans of any tilt, as the folder run grows them: the rules tested with it
// were measured on samples where the tilt limit changes the growth.
#define ANY_FAN_TILT "--max-fan-tilt 0"

// One connected part with no edge of three or more faces and its faces oriented alike.
void expectOneManifoldPart(std::map<std::string, double>& figures) {
    EXPECT_EQ(figures["edges with more than two faces"], 0);
    EXPECT_GE(figures["consistent interior fraction"], 0.99);
    EXPECT_EQ(figures["components"], 1);
}

// The mesh of the last run uses at least 97% of the points and is one closed, consistently
// oriented part; label names the case in a loop.
void expectClosedPastTarget(SampleRun& run, int label = 0) {
    auto figures = run.check("rawPoints.mesh.ply");
    EXPECT_GE(figures["used fraction"], 0.97) << label;
    expectOneManifoldPart(figures);
    EXPECT_EQ(figures["boundary loops"], 0) << label;
}

} // namespace

TEST(EndToEnd, TorusIsClosedConsistentAndReproducible) {
    SampleRun dir("torus", 3000, 7);
    const std::string console = dir.run();
    EXPECT_NE(console.find("Constructing Surface ."), std::string::npos);
    EXPECT_NE(console.find("\n\nPerforming Cleaning up functions\n"), std::string::npos);
    EXPECT_NE(console.find("Timing for Surface Reconstruction = "), std::string::npos);
    const std::string first = dir.mesh();

    auto figures = dir.check();
    EXPECT_GE(figures["used fraction"], 0.97);
    expectOneManifoldPart(figures);

    dir.run();
    EXPECT_TRUE(dir.mesh() == first) << "second run wrote a different mesh";
}

TEST(EndToEnd, SettingsSteerSeedsLayersAndCleanUp) {
    SampleRun dir("twospheres", 4000, 3);
    // Default: both spheres are built, and only the larger piece is kept.
    dir.run();
    auto figures = dir.check();
    EXPECT_EQ(figures["components"], 1);
    EXPECT_LT(figures["used fraction"], 0.6);

    // Without the largest-component pass the second sphere stays.
    dir.writeSettings("false\n20\n999\ntrue\n");
    dir.run();
    figures = dir.check();
    EXPECT_EQ(figures["components"], 2);
    EXPECT_GE(figures["used fraction"], 0.97);
    EXPECT_EQ(figures["edges with more than two faces"], 0);

    // One layer iteration in all: the seed loop stops after the first growth, so the
    // second sphere never gets a seed.
    dir.writeSettings("false\n20\n1\ntrue\n");
    dir.run();
    figures = dir.check();
    EXPECT_EQ(figures["components"], 1);
    EXPECT_LT(figures["used fraction"], 0.6);
}

TEST(EndToEnd, InconsistentFanRemovalCanBeSwitchedOff) {
    // On this sample the removal pass takes out one fan; switched off, that fan stays.
    SampleRun dir("torus", 3000, 1);
    dir.run();
    const double facesOn = dir.check()["faces"];
    dir.writeSettings("true\n20\n999\nfalse\n");
    dir.run();
    const double facesOff = dir.check()["faces"];
    EXPECT_GT(facesOff, facesOn);
}

TEST(EndToEnd, OpenAndExactlyPlanarSurfacesKeepTheirPoints) {
    // The half torus is open: hole closing puts lids on its two rims, and the
    // inconsistent-fan removal must not keep re-opening and re-folding them until the surface
    // is eaten away. The cube's faces are exact planes, where every neighbour lies in the
    // plane of the fan being searched.
    for (const char* shape : {"halftorus", "cube"}) {
        SampleRun dir(shape, 3000, shape[0] == 'h' ? 3 : 1);
        dir.run();
        auto figures = dir.check();
        EXPECT_GE(figures["used fraction"], 0.97) << shape;
        EXPECT_EQ(figures["edges with more than two faces"], 0) << shape;
        EXPECT_GE(figures["consistent interior fraction"], 0.99) << shape;
    }
}

TEST(EndToEnd, FinerRayTestMeshesACoarseThinTube) {
    // A knotted tube about five spacings across: with the plain ray test, cells holding the
    // opposite wall refuse most fans; counting only points near the rays meshes nearly all.
    SampleRun dir("knot", 2400, 1);
    dir.run();
    const double plainUsed = dir.check()["used fraction"];
    dir.run("--ray-hit-distance 0.75");
    auto figures = dir.check();
    EXPECT_LT(plainUsed, 0.9);
    EXPECT_GE(figures["used fraction"], 0.97);
    expectOneManifoldPart(figures);

    // Path mode tests finely by default; --plain-ray-test gives the plain rule's mesh.
    dir.run("rawPoints.txt -q " UNWANTED_20 " --hidden-in-wedges --plain-seed-check " UNLIMITED_RAYS
            " " ANY_FAN_TILT " " CLEAN_UP_AS_IN_FOLDER);
    EXPECT_EQ(dir.check("rawPoints.mesh.ply"), figures);
    dir.run("rawPoints.txt -q " UNWANTED_20 " --plain-ray-test --hidden-in-wedges " ANY_FAN_TILT
            " " CLEAN_UP_AS_IN_FOLDER);
    EXPECT_EQ(dir.check("rawPoints.mesh.ply")["used fraction"], plainUsed);
}

TEST(EndToEnd, HalfTorusRimsGetNoEdgeWithAThirdFace) {
    // The open rims of a half torus are closed as holes. Clipping ears across a rim hundreds
    // of points long, and inserting points into the long thin triangles that leaves, gave
    // edges a third face; path mode leaves those ears open and those points out.
    SampleRun dir("halftorus", 20000, 3);
    dir.run("rawPoints.txt -q " UNWANTED_20 " --allow-third-faces " UNLIMITED_RAYS
            " " CLEAN_UP_AS_IN_FOLDER);
    EXPECT_GT(dir.check("rawPoints.mesh.ply")["edges with more than two faces"], 0);
    dir.run("rawPoints.txt -q " UNWANTED_20);
    auto figures = dir.check("rawPoints.mesh.ply");
    EXPECT_GE(figures["used fraction"], 0.99);
    expectOneManifoldPart(figures);
}

TEST(EndToEnd, HiddenUnderTrianglesMeshesACoarseThinTube) {
    // A knotted tube about four spacings across, under the finer ray test: the neighbours
    // curving away around the tube lie in the unbounded wedges of a fan's triangles, below
    // their planes, and the wedge rule refuses most fans at the growth front; counting only
    // neighbours under the triangles lets one growth cover the tube.
    SampleRun dir("knot", 2000, 1);
    dir.run("--ray-hit-distance 0.75");
    const double wedgeUsed = dir.check()["used fraction"];
    dir.run("--ray-hit-distance 0.75 --hidden-under-triangles");
    auto figures = dir.check();
    EXPECT_LT(wedgeUsed, 0.9);
    EXPECT_GE(figures["used fraction"], 0.97);
    expectOneManifoldPart(figures);

    // Path mode counts only neighbours under the triangles by default; --hidden-in-wedges
    // gives the wedge rule's mesh.
    dir.run("rawPoints.txt -q " UNWANTED_20
            " --plain-seed-check --growth-flips-may-fold " UNLIMITED_RAYS " " ANY_FAN_TILT
            " " CLEAN_UP_AS_IN_FOLDER);
    EXPECT_EQ(dir.check("rawPoints.mesh.ply"), figures);
    dir.run("rawPoints.txt -q " UNWANTED_20 " --hidden-in-wedges --plain-seed-check "
            "--growth-flips-may-fold " UNLIMITED_RAYS " " ANY_FAN_TILT " " CLEAN_UP_AS_IN_FOLDER);
    EXPECT_EQ(dir.check("rawPoints.mesh.ply")["used fraction"], wedgeUsed);
}

TEST(EndToEnd, HiddenUnderTrianglesMeshesTwoCloseSheets) {
    // Two parallel squares about two spacings apart: every point's neighbours include points
    // of the other sheet. A fan built in reversed order faces the gap, and the other sheet
    // lies on its side; counting the neighbours there as hidden refused most such fans, and
    // counting only those under the triangles on that side let the fans through to be refused
    // by the visibility test, so the growth stalled either way. Looking on the side the
    // surface faces meshes both sheets. (From a seed facing the gap: the strict seed check
    // turns such seeds round, so it is off here; filling holes past strips that hold the
    // sheets together takes the wedge rule's run from 46% to 52%, so that is off too; with
    // pieces joined where they meet a second time it uses 50%.)
    SampleRun dir("sheets", 4000, 1);
    dir.run("rawPoints.txt -q " UNWANTED_20 " --hidden-in-wedges --plain-seed-check "
            "--withdraw-at-inner-chords " ANY_FAN_TILT " --leave-points-out-after-folds"
            " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    const double wedgeUsed = dir.check("rawPoints.mesh.ply")["used fraction"];
    dir.run("rawPoints.txt -q " UNWANTED_20 " --plain-seed-check " ANY_FAN_TILT
            " --leave-points-out-after-folds"
            " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    auto figures = dir.check("rawPoints.mesh.ply");
    EXPECT_LT(wedgeUsed, 0.55);
    EXPECT_GE(figures["used fraction"], 0.85);
    expectOneManifoldPart(figures);
}

TEST(EndToEnd, StrictSeedCheckMeshesACoarseThinTubeInOnePiece) {
    // A knotted tube about five spacings across. The first seed's normal points along
    // another strand, so the seed check turns it round, into the tube: the wall across lies
    // in the seed's own index cell or in cells holding its neighbours, which the leaf rule
    // skips. The patch grown inward cannot join the patch of a later seed facing outward,
    // and the largest-component pass drops it. Judging every point near the rays on its
    // own turns no seed into the tube.
    SampleRun dir("knot", 2000, 3);
    // (Piece joining alone also joins the two patches: 99.3% used.)
    dir.run("rawPoints.txt -q " UNWANTED_20
            " --plain-seed-check --keep-pieces-apart " UNLIMITED_RAYS);
    const double plainUsed = dir.check("rawPoints.mesh.ply")["used fraction"];
    dir.run("rawPoints.txt -q " UNWANTED_20 " " UNLIMITED_RAYS);
    auto figures = dir.check("rawPoints.mesh.ply");
    EXPECT_LT(plainUsed, 0.9);
    EXPECT_GE(figures["used fraction"], 0.97);
    expectOneManifoldPart(figures);
    EXPECT_EQ(figures["boundary loops"], 0);
}

TEST(EndToEnd, StrictSeedCheckLetsSeedsBetweenCloseSheetsFaceTheGap) {
    // Two parallel squares about four spacings apart: the other sheet lies within the
    // neighbourhoods of a seed's neighbours. Counting it in the strict seed check turned
    // every seed facing the gap round, and the growths from the outward seeds stalled in
    // many small patches (under 5% of the points used). Exempting the points that close
    // keeps such seeds facing the gap, while the far wall of a tube still turns a seed
    // (the knot test above).
    SampleRun dir("sheets", 6000, 4);
    dir.run("rawPoints.txt -q " UNWANTED_20);
    auto figures = dir.check("rawPoints.mesh.ply");
    EXPECT_GE(figures["used fraction"], 0.9);
    expectOneManifoldPart(figures);

    // --seed-check-near-walls switches the exemption off.
    SampleRun small("sheets", 2500, 1);
    small.run("rawPoints.txt -q " UNWANTED_20);
    const double exempt = small.check("rawPoints.mesh.ply")["used fraction"];
    small.run("rawPoints.txt -q " UNWANTED_20 " --seed-check-near-walls");
    EXPECT_NE(small.check("rawPoints.mesh.ply")["used fraction"], exempt);
}

TEST(EndToEnd, ThinLegsKeepTheirPointsThroughTheFoldAndPinchRepairs) {
    // Legs five spacings across. Where hole closing folds a fan on a leg, withdrawing the
    // fans of all its neighbours as well opens a ring round the leg whose two rims are
    // then closed as lids, and the largest-component pass drops the cut-off part; a point
    // where two patches meet with their fans in separate chains had every fan round it
    // withdrawn, which cut further into both patches.
    SampleRun dir("legs", 2180, 2);
    dir.run("rawPoints.txt -q " UNWANTED_20
            " --withdraw-pinched-points --fold-removal-may-split " UNLIMITED_RAYS " " ANY_FAN_TILT
            " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    const double before = dir.check("rawPoints.mesh.ply")["used fraction"];
    dir.run("rawPoints.txt -q " UNWANTED_20 " --withdraw-pinched-points --keep-fold-neighbours "
            "--fold-removal-may-split " UNLIMITED_RAYS " " ANY_FAN_TILT);
    const double foldsOnly = dir.check("rawPoints.mesh.ply")["used fraction"];
    dir.run("rawPoints.txt -q " UNWANTED_20
            " --keep-fold-neighbours --fold-removal-may-split " UNLIMITED_RAYS " " ANY_FAN_TILT);
    auto figures = dir.check("rawPoints.mesh.ply");
    EXPECT_LT(before, 0.85);
    EXPECT_GE(foldsOnly, 0.88);
    EXPECT_GE(figures["used fraction"], 0.88);
    expectOneManifoldPart(figures);
    EXPECT_EQ(figures["boundary loops"], 0);

    // A knotted tube six spacings across, where the patches of two seeds meet at a few open
    // points in separate chains: bridging those points alone keeps the seam closed.
    SampleRun knot("knot", 1549, 2);
    knot.run("rawPoints.txt -q " UNWANTED_20 " --withdraw-pinched-points "
             "--leave-points-out-after-folds " UNLIMITED_RAYS " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    const double withdrawn = knot.check("rawPoints.mesh.ply")["used fraction"];
    knot.run("rawPoints.txt -q " UNWANTED_20 " --leave-points-out-after-folds " UNLIMITED_RAYS
             " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    auto bridged = knot.check("rawPoints.mesh.ply");
    EXPECT_LT(withdrawn, 0.98);
    EXPECT_GE(bridged["used fraction"], 0.985);
    expectOneManifoldPart(bridged);
}

TEST(EndToEnd, FoldRemovalDoesNotCutAThinTubeApart) {
    // A knotted tube six spacings across whose growths join into one piece. Withdrawing the
    // folded fans and all their neighbours opens rings round the tube; their rims are closed
    // as lids and the largest-component pass keeps one section (41% of the points). Sparing
    // the fans whose withdrawal would cut the surface apart keeps the whole tube.
    SampleRun knot("knot", 1549, 5);
    knot.run("rawPoints.txt -q " UNWANTED_20 " --fold-removal-may-split " UNLIMITED_RAYS
             " " ANY_FAN_TILT " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    const double cut = knot.check("rawPoints.mesh.ply")["used fraction"];
    knot.run("rawPoints.txt -q " UNWANTED_20 " " UNLIMITED_RAYS " " ANY_FAN_TILT);
    auto joined = knot.check("rawPoints.mesh.ply");
    EXPECT_LT(cut, 0.5);
    EXPECT_GE(joined["used fraction"], 0.96);
    expectOneManifoldPart(joined);
    EXPECT_EQ(joined["boundary loops"], 0);

    // Tubes five spacings across: right after the growth, withdrawing the fans round open
    // points (seed 12: 59% used) or closing an open point by taking over the ring of fans
    // round it (seed 4: 41%) cut a grown section in two.
    for (const auto& [seed, least] : {std::pair{12, 0.92}, std::pair{4, 0.72}}) {
        SampleRun coarse("knot", 1300, seed);
        coarse.run("rawPoints.txt -q " UNWANTED_20 " --fold-removal-may-split");
        const double opened = coarse.check("rawPoints.mesh.ply")["used fraction"];
        coarse.run("rawPoints.txt -q " UNWANTED_20);
        auto whole = coarse.check("rawPoints.mesh.ply");
        EXPECT_LT(opened, 0.65) << "seed " << seed;
        EXPECT_GE(whole["used fraction"], least) << "seed " << seed;
        expectOneManifoldPart(whole);
    }
}

TEST(EndToEnd, PiecesOfAThinTubeThatMeetAreJoined) {
    // Tubes five spacings across where separate seeds grow separate sections of the tube,
    // some of them facing the other way, that close off against each other with lids; the
    // largest-component pass then keeps one section. Opening the lids that face another
    // piece and joining the borders (turning a piece round where needed) keeps the tube.
    // Seeds inside regions left unreached are switched off: on seed 1 the section they grow
    // meets the others with one hole left open.
    for (const auto& [seed, least] : {std::pair{1, 0.9}, std::pair{6, 0.97}}) {
        SampleRun coarse("knot", 1300, seed);
        coarse.run("rawPoints.txt -q " UNWANTED_20 " --keep-pieces-apart --stop-seeding-at-share");
        const double apart = coarse.check("rawPoints.mesh.ply")["used fraction"];
        coarse.run("rawPoints.txt -q " UNWANTED_20 " --stop-seeding-at-share");
        auto joined = coarse.check("rawPoints.mesh.ply");
        EXPECT_LT(apart, 0.65) << "seed " << seed;
        EXPECT_GE(joined["used fraction"], least) << "seed " << seed;
        expectOneManifoldPart(joined);
        EXPECT_EQ(joined["boundary loops"], 0) << "seed " << seed;
    }

    // Seed 2: two growths (778 and 242 points) meet at both ends of a closed stretch of
    // the tube. After the first join they are one piece, yet the second meeting is joined
    // too (96.6% used when only the first was).
    SampleRun both("knot", 1300, 2);
    both.run("rawPoints.txt -q " UNWANTED_20 " --keep-pieces-apart");
    const double apart = both.check("rawPoints.mesh.ply")["used fraction"];
    both.run("rawPoints.txt -q " UNWANTED_20);
    auto joined = both.check("rawPoints.mesh.ply");
    EXPECT_LT(apart, 0.8);
    EXPECT_GE(joined["used fraction"], 0.97);
    expectOneManifoldPart(joined);
    EXPECT_EQ(joined["boundary loops"], 0);
}

TEST(EndToEnd, PointsLeftOutByFoldRemovalGoBack) {
    // Tubes five spacings across: fold removal withdraws the folded fans with their fan
    // neighbours and re-closes the holes over their points, 5% of the points in all.
    // Inserting them again where that adds no fold brings the tube past 97%.
    for (const int seed : {1, 8}) {
        SampleRun coarse("knot", 1300, seed);
        coarse.run("rawPoints.txt -q " UNWANTED_20 " --leave-points-out-after-folds"
                   " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
        const double out = coarse.check("rawPoints.mesh.ply")["used fraction"];
        coarse.run("rawPoints.txt -q " UNWANTED_20);
        auto back = coarse.check("rawPoints.mesh.ply");
        EXPECT_LT(out, 0.96) << "seed " << seed;
        EXPECT_GE(back["used fraction"], 0.97) << "seed " << seed;
        expectOneManifoldPart(back);
    }
}

TEST(EndToEnd, RayReachLetsTheGrowthReachAThinLegUnderTheBody) {
    // Legs six spacings across under a body. The fans that would grow down one leg were
    // refused by surface far ahead of their rays, and the whole leg was never reached (90.5%
    // of the points used). Counting only points within a few neighbourhood radii ahead of a
    // ray's origin reaches it, over a range of reaches. (A seed inside the unreached leg
    // also grows it; that is switched off for the unlimited rays.)
    SampleRun legs("legs", 3139, 5);
    legs.run("rawPoints.txt -q " UNWANTED_20 " --ray-reach 0 --stop-seeding-at-share");
    EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95);
    for (const char* reach : {"1.5", "4"}) {
        legs.run(std::string("rawPoints.txt -q " UNWANTED_20 " --ray-reach ") + reach);
        EXPECT_GE(legs.check("rawPoints.mesh.ply")["used fraction"], 0.97) << reach;
    }
    legs.run("rawPoints.txt -q " UNWANTED_20);
    expectClosedPastTarget(legs);
}

TEST(EndToEnd, FanTiltLimitKeepsAKnottedTubeInOnePiece) {
    // A knotted tube six spacings across. Without a limit the growth closed its fronts with
    // lids across the tube where they met, and the largest of the two closed halves kept
    // 47% of the points. Refusing fans turned far from their points' neighbourhood normals
    // lets the fronts join, at limits of 40 and 45 degrees (at 50 this seed collapses again).
    SampleRun knot("knot", 1549, 3);
    // (Piece joining alone also joins the two halves: 97.8% used.)
    knot.run("rawPoints.txt -q " UNWANTED_20 " --max-fan-tilt 0 --keep-pieces-apart");
    EXPECT_LT(knot.check("rawPoints.mesh.ply")["used fraction"], 0.6);
    for (const char* limit : {"40", "45"}) {
        knot.run(std::string("rawPoints.txt -q " UNWANTED_20 " --max-fan-tilt ") + limit);
        EXPECT_GE(knot.check("rawPoints.mesh.ply")["used fraction"], 0.97) << limit;
    }
    knot.run("rawPoints.txt -q " UNWANTED_20);
    expectClosedPastTarget(knot);
}

TEST(EndToEnd, OpenRiseLimitKeepsTheGrowthFromClosingOverAThinLeg) {
    // Legs six spacings across under a body. Where the growth comes down to a leg, fans that
    // close over the leg's mouth pass the rays, which run up into the hollow body beyond
    // their reach; the leg is cut off and most of it never reached (94.2% of the points
    // used). Refusing fans beside which the open wall of the leg rises steeply reaches it,
    // over a range of limits.
    // (Filling holes past the strip that joins the leg to the body also keeps it, and so
    // do a seed inside the leg once its check counts the leg's far wall and a second piece
    // joining after fold removal.)
    SampleRun legs("legs", 3139, 7);
    legs.run("rawPoints.txt -q " UNWANTED_20 " --withdraw-at-inner-chords "
             "--unreached-seeds-ignore-near-walls --join-pieces-once");
    EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95);
    for (const char* limit : {"50", "55"}) {
        legs.run(std::string("rawPoints.txt -q " UNWANTED_20 " --open-rise-limit ") + limit);
        EXPECT_GE(legs.check("rawPoints.mesh.ply")["used fraction"], 0.97) << limit;
    }
    legs.run("rawPoints.txt -q " UNWANTED_20 " --open-rise-limit 60");
    expectClosedPastTarget(legs);
}

TEST(EndToEnd, SeedingInsideUnreachedRegionsGrowsALegTheFrontNeverEntered) {
    // Legs five spacings across under a body. The growth covers more than 90% of the points
    // without passing the mouth of one leg; seeding stopped there and the clean-up closed
    // the leg off with a lid (93.4% and 92.9% of the points used). A seed inside the leg,
    // where no point is in a fan yet, grows it and its patch joins the body's.
    for (const int seed : {4, 5}) {
        SampleRun legs("legs", 2300, seed);
        legs.run("rawPoints.txt -q " UNWANTED_20 " --stop-seeding-at-share"
                 " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
        EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95) << seed;
        legs.run("rawPoints.txt -q " UNWANTED_20);
        expectClosedPastTarget(legs, seed);
    }
}

TEST(EndToEnd, SeedInsideAnUnreachedLegDoesNotFaceIntoIt) {
    // Legs five spacings across under a body; the growth passes 90% of the points without
    // entering one leg. The first seed offered inside it ignored the points near its
    // neighbours' neighbourhoods, among them the leg's far wall, so its check let it face
    // into the leg: its growth completed the seed alone, its fan took the points round it
    // out of the unreached region, and the leg was closed off with a lid (94.8% of the
    // points used). Counting them turns that seed away; the next one grows the leg.
    SampleRun legs("legs", 2180, 6);
    legs.run("rawPoints.txt -q " UNWANTED_20
             " --unreached-seeds-ignore-near-walls " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95);
    legs.run("rawPoints.txt -q " UNWANTED_20);
    expectClosedPastTarget(legs);
}

TEST(EndToEnd, GrowthFlipsThatFoldAFanAreNotMade) {
    // Legs five spacings across under a body. Edge flips during the growth gave corners
    // round the curve of two legs fans that faced against themselves; fold removal withdrew
    // them with the fans around them, cut off the ends of the legs and lost them (96.1% of
    // the points used, one open loop left).
    SampleRun legs("legs", 2300, 1);
    legs.run("rawPoints.txt -q " UNWANTED_20 " --growth-flips-may-fold"
             " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    auto before = legs.check("rawPoints.mesh.ply");
    EXPECT_LT(before["used fraction"], 0.965);
    legs.run("rawPoints.txt -q " UNWANTED_20);
    expectClosedPastTarget(legs);
}

TEST(EndToEnd, HoleClosingKeepsALegJoinedByANarrowStrip) {
    // Legs five to six spacings across under a body. The growth reaches the leg through a
    // narrow strip of fans and leaves a gap round the rest of the leg's top; the border of
    // that gap runs along both sides of the strip, so an edge inside the strip joins two of
    // its points. Taken for a chord across the hole, it had the fans at its ends withdrawn:
    // the leg came apart from the body, both were closed with lids and the leg was dropped
    // (93.8% and 94.3% of the points used). Filling the gap past that edge keeps the leg.
    // (On 3139 points a seed inside the leg whose check counts the leg's far wall also
    // grows it, and a second piece joining after fold removal joins it.)
    for (const auto& [count, seed] : {std::pair{2500, 6}, std::pair{3139, 7}}) {
        SampleRun legs("legs", count, seed);
        legs.run("rawPoints.txt -q " UNWANTED_20 " --withdraw-at-inner-chords "
                 "--unreached-seeds-ignore-near-walls --join-pieces-once");
        EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95) << count;
        legs.run("rawPoints.txt -q " UNWANTED_20);
        expectClosedPastTarget(legs, count);
    }
}

TEST(EndToEnd, FoldsOnAThinTubeKeepTheFansAroundThem) {
    // A knotted tube five spacings across. Points inserted onto a stretch the growth closed
    // with triangles across the tube fold their fans; the fans of all their neighbours went
    // with them, a ring round the tube whose rims were closed as lids (95.7% of the points
    // used). Keeping the neighbours of a fold whose neighbourhood reaches the tube's far
    // wall keeps the stretch.
    SampleRun knot("knot", 1300, 55);
    knot.run("rawPoints.txt -q " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    EXPECT_LT(knot.check("rawPoints.mesh.ply")["used fraction"], 0.96);
    knot.run("rawPoints.txt -q");
    expectClosedPastTarget(knot);
}

TEST(EndToEnd, WiderLidsJoinALegGrownShortOfTheBody) {
    // Legs five spacings across under a body. The body's front closes a leg's mouth with a
    // lid; a seed inside the leg grows it, but its growth stops a few spacings below that
    // lid. No lid point then has a point of the leg among its 8 nearest neighbours (2500),
    // or the borders opened there meet at an angle that refuses every join (2300), and the
    // leg was dropped (93.8% and 94.1% of the points used). Opening the lids wider, as a
    // trial kept only when it joins, joins the leg to the body. (On 2300 points a second
    // piece joining after fold removal joins it too, and on both a join across the band
    // below the lid.)
    for (const int count : {2300, 2500}) {
        SampleRun legs("legs", count, 3);
        legs.run("rawPoints.txt -q " UNWANTED_20 " --open-adjacent-lids-only --join-pieces-once "
                 "--join-near-borders-only"
                 " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
        EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95) << count;
        legs.run("rawPoints.txt -q " UNWANTED_20);
        expectClosedPastTarget(legs, count);
    }
}

TEST(EndToEnd, LateJoinJoinsALegCutOffBelowTheBody) {
    // Legs five spacings across under a body. The growth leaves a leg cut off below the
    // body, too far from the body's lid over its mouth for any join, and both are closed
    // with lids; the leg was dropped (94.6% and 94.0% of the points used). After fold
    // removal the insertions have grown both pieces towards each other, and joining them
    // again then keeps the leg.
    for (const auto& [count, seed] : {std::pair{2500, 14}, std::pair{2300, 19}}) {
        SampleRun legs("legs", count, seed);
        legs.run("rawPoints.txt -q " UNWANTED_20 " --join-pieces-once");
        EXPECT_LT(legs.check("rawPoints.mesh.ply")["used fraction"], 0.95) << count;
        legs.run("rawPoints.txt -q " UNWANTED_20);
        expectClosedPastTarget(legs, count);
    }
}

TEST(EndToEnd, NearRepeatsOnlyAreSetAsideSoCloseSheetsJoinAtTheirRimsOnly) {
    // Two sheets 5 spacings apart. With the settings file's 20 percent about a quarter of the
    // points are set aside, and the neighbourhoods of half of the rest reach the other sheet:
    // the growth builds walls across the gap, tunnels through both sheets, and the mesh falls
    // short. With only near-repeats set aside the sheets join at their rims alone: a closed
    // surface of genus 0, so 2V - 4 faces over its V points.
    SampleRun sheets("sheets", 7944, 10);
    sheets.run("rawPoints.txt -q");
    expectClosedPastTarget(sheets);
    auto figures = sheets.check("rawPoints.mesh.ply");
    const double used = std::round(figures["used fraction"] * figures["points"]);
    EXPECT_EQ(figures["faces"], 2 * used - 4);
    sheets.run("rawPoints.txt -q " UNWANTED_20 " " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
    EXPECT_LT(sheets.check("rawPoints.mesh.ply")["used fraction"], 0.96);
}

TEST(EndToEnd, PiecesStoppedABandApartAreJoined) {
    // Two seeds grow two sections of a tube about five spacings across whose fronts stop a
    // ring or two of points short of each other: no border point of one section has one of
    // the other among its 16 nearest neighbours, and the largest-component pass kept one
    // section (knot, with the settings file's 20 percent: 46% of the points). A join across
    // the band of points between the borders makes one part. By default the same join
    // keeps a leg (94.4% without it) and, in the joining after fold removal, a section of
    // a knot that fold removal had cut off (93.4%).
    SampleRun knot("knot", 1300, 41);
    knot.run("rawPoints.txt -q " UNWANTED_20 " --join-near-borders-only");
    EXPECT_LT(knot.check("rawPoints.mesh.ply")["used fraction"], 0.5);
    knot.run("rawPoints.txt -q " UNWANTED_20);
    auto joined = knot.check("rawPoints.mesh.ply");
    EXPECT_GT(joined["used fraction"], 0.9);
    expectOneManifoldPart(joined);
    for (const auto& [shape, count, seed] :
         {std::tuple{"legs", 2300, 20}, std::tuple{"knot", 1300, 29}}) {
        SampleRun sample(shape, count, seed);
        sample.run("rawPoints.txt -q --join-near-borders-only " THIN_FOLD_NEIGHBOURS_WITHDRAWN);
        EXPECT_LT(sample.check("rawPoints.mesh.ply")["used fraction"], 0.95) << shape;
        sample.run("rawPoints.txt -q");
        expectClosedPastTarget(sample, count);
    }
}

// The thin-part samples are sized by the generator's spacing report: it must describe the
// points as written (their mean nearest-neighbour distance, found here by brute force) and
// the shape's real thin part, and must not change the points.
TEST(EndToEnd, SpacingReportMeasuresTheWrittenPoints) {
    SampleRun dir("knot", 1076, 1);
    ASSERT_EQ(dir.shell("'" FANMESH_BINARY_DIR "/generate_sample' knot 1076 1 --spacing "
                        "> spaced.xyz 2> spacing.txt"),
              0);
    EXPECT_EQ(meshtest::readFile(dir.path / "spaced.xyz"),
              meshtest::readFile(dir.path / "rawPoints.txt"));
    std::vector<std::array<double, 3>> points;
    std::istringstream text(meshtest::readFile(dir.path / "rawPoints.txt"));
    std::array<double, 3> p{};
    while (text >> p[0] >> p[1] >> p[2]) {
        points.push_back(p);
    }
    ASSERT_EQ(points.size(), 1076u);
    double sum = 0.0;
    for (const auto& a : points) {
        double nearest = INFINITY;
        for (const auto& b : points) {
            const double d = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
            if (&a != &b && d < nearest) {
                nearest = d;
            }
        }
        sum += nearest;
    }
    const double mean = sum / static_cast<double>(points.size());
    const std::vector<std::string> lines = meshtest::fileLines((dir.path / "spacing.txt").string());
    ASSERT_EQ(lines.size(), 2u);
    double reported = 0.0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "mean nearest-neighbour spacing %lf", &reported), 1);
    EXPECT_NEAR(reported, mean, 1e-5);
    // The tube of the knot is 1 across.
    double width = 0.0, across = 0.0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "tube diameter %lf = %lf spacings", &width, &across),
              2);
    EXPECT_EQ(width, 1.0);
    EXPECT_NEAR(across, 1.0 / mean, 0.01);

    // A shape without a thin part reports the spacing only.
    ASSERT_EQ(dir.shell("'" FANMESH_BINARY_DIR "/generate_sample' sphere 200 1 --spacing "
                        "> /dev/null 2> spacing.txt"),
              0);
    EXPECT_EQ(meshtest::fileLines((dir.path / "spacing.txt").string()).size(), 1u);
}

// Noisy thin legs where, after fold removal, each hole-closing round closes a hole round a
// point whose fan the open-point withdrawal takes back, leaving the mesh as the round
// before: the rounds repeated forever. They must stop, with the same mesh for every
// thread count. (The limit only guards against the endless run; the run takes about a
// second.)
TEST(EndToEnd, RepeatingHoleClosingRoundsStop) {
    meshtest::RunDirectory dir;
    ASSERT_EQ(dir.shell("'" FANMESH_BINARY_DIR "/generate_sample' legs 10000 1 --noise 1 > in.xyz"),
              0);
    for (const char* threads : {"1", "2"}) {
        EXPECT_EQ(dir.shell(std::string("timeout 300 '" FANMESH_BINARY_DIR "/fanmesh' in.xyz -q "
                                        "--threads ") +
                            threads + " -o mesh" + threads + ".ply"),
                  0)
            << threads;
    }
    const std::string mesh = meshtest::readFile(dir.path / "mesh1.ply");
    EXPECT_NE(mesh.find("element face "), std::string::npos);
    EXPECT_EQ(mesh.find("element face 0\n"), std::string::npos);
    EXPECT_EQ(meshtest::readFile(dir.path / "mesh2.ply"), mesh);
}

// The clusters sample: one tight group per 50 points (Gaussian offsets of 0.01 per axis)
// around centres scattered through the box of side 10. Points closer than 0.2 are joined
// into groups: there must be one per centre (20 centres lie that close with a chance of
// about 1%, not for this seed), each a cluster's size, and no point far from its group.
TEST(EndToEnd, ClustersSampleHoldsTightGroupsAroundScatteredCentres) {
    meshtest::RunDirectory dir;
    ASSERT_EQ(dir.shell("'" FANMESH_BINARY_DIR "/generate_sample' clusters 1000 1 > c.xyz"), 0);
    std::vector<std::array<double, 3>> points;
    std::istringstream text(meshtest::readFile(dir.path / "c.xyz"));
    std::array<double, 3> p{};
    while (text >> p[0] >> p[1] >> p[2]) {
        points.push_back(p);
    }
    ASSERT_EQ(points.size(), 1000u);
    std::vector<size_t> group(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        group[i] = i;
    }
    const auto root = [&group](size_t i) {
        while (group[i] != i) {
            i = group[i];
        }
        return i;
    };
    const auto distance = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
        return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
    };
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_LE(
            std::max({std::fabs(points[i][0]), std::fabs(points[i][1]), std::fabs(points[i][2])}),
            5.1);
        for (size_t j = i + 1; j < points.size(); ++j) {
            if (distance(points[i], points[j]) < 0.2) {
                group[root(j)] = root(i);
            }
        }
    }
    std::map<size_t, std::vector<size_t>> groups;
    for (size_t i = 0; i < points.size(); ++i) {
        groups[root(i)].push_back(i);
    }
    EXPECT_EQ(groups.size(), 20u);
    for (const auto& [first, members] : groups) {
        EXPECT_GE(members.size(), 20u);
        EXPECT_LE(members.size(), 90u);
        std::array<double, 3> mean{};
        for (const size_t i : members) {
            for (int axis = 0; axis < 3; ++axis) {
                mean[axis] += points[i][axis] / static_cast<double>(members.size());
            }
        }
        for (const size_t i : members) {
            EXPECT_LT(distance(points[i], mean), 0.08);
        }
    }
}
