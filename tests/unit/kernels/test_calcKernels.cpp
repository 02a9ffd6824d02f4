// The calculator's tokens, syntax check and evaluation: error numbers of malformed lines from a
// table, worked examples by hand, and every operator against a plain 64-bit reference on
// random lines of full-range words.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "calcKernels.h"

namespace {

constexpr int32u px(int r, int g, int b, int a = 0)
{
    return int32u(a) << 24 | int32u(r) << 16 | int32u(g) << 8 | int32u(b);
}

// The display scope of a 4 x 1 line; @1 single-band and @2 packed, both 4 x 1; @3 empty;
// @4 unreadable.
calcContext displayCtx()
{
    calcContext c;
    c.cols = 4;
    c.rows = 1;
    c.acc[0] = {calcAccInfo::ACC_READY, 1, 4, 1};
    c.acc[1] = {calcAccInfo::ACC_READY, 4, 4, 1};
    c.acc[2] = {calcAccInfo::ACC_EMPTY, 0, 0, 0};
    c.acc[3] = {calcAccInfo::ACC_BAD, 0, 0, 0};
    return c;
}

int32 parse(const std::string& line, const calcContext& ctx, calcCmd& cmd)
{
    const int32 rc = calcTokenize(line, ctx, &cmd);
    return rc != CALC_OK ? rc : CHECK_CALC_SYNTAX(&cmd, ctx);
}

TEST(CalcSyntax, MalformedLinesGiveTheirErrorNumbers)
{
    struct Case {
        const char* line;
        int32 err;
        bool alphaOk = false;
    };
    const Case cases[] = {
        {"R G + 2 / : B", CALC_OK},
        {"r g+2/:b", CALC_OK},
        {"R 3000000000 + : G", CALC_E_NEGATIVE},
        {"R 0x80000000 + : G", CALC_E_NEGATIVE},
        {"R 0x7FFFFFFF & : G", CALC_OK},
        {"R 0x1B + : G", CALC_OK}, // hex digits a and b belong to the number
        {"5 7 + : R", CALC_E_CONSTANT},
        {"(1,2,3) 7 & : .", CALC_E_CONSTANT},
        {"R G : B", CALC_E_OPERATOR},
        {"R G + 5 : B", CALC_E_OPERATOR},
        {"R :", CALC_E_PUT},
        {"R G + : B : G", CALC_E_PUT},
        {"R 40 << : G", CALC_E_SHIFT},
        {"R 31 >> : G", CALC_OK},
        {"R G << : B", CALC_E_SHIFT},
        {"R (1,2,3) >> : B", CALC_E_SHIFT},
        {"+ R G : B", CALC_E_OPERAND},
        {"R + + : B", CALC_E_OPERAND},
        {"@1R 2 * : @1", CALC_E_ACC_TWICE},
        {"@3R 2 * : G", CALC_E_ACC_EMPTY},
        {"@4R 2 * : G", CALC_E_ACC_CORRUPT},
        {"@1. (1,1,1) & : .", CALC_E_ACC_CORRUPT}, // a single-band accumulator has no pixels
        {"R G + : 5", CALC_E_DEST},
        {"R G + : +", CALC_E_DEST},
        {". G & : .", CALC_OK},
        {". @2. | : @3", CALC_OK},
        {". @2R | : .", CALC_OK}, // a gun of packed pixels, like a gun of the image
        {". @1R | : R", CALC_E_GREY},
        {"R G + : .", CALC_E_GREY},
        {". 2 + : R", CALC_E_BITFIELD_OP},
        {"R (1,2,3) < : R", CALC_E_BITFIELD_OP},
        {"R (1,2,3) <= : R", CALC_E_BITFIELD_OP},
        {"R (1,2,3) ^ : R", CALC_OK},
        {"R 1 + : R G B R G B", CALC_E_TOO_MANY},
        {"R 1 + : R G B R G", CALC_OK},
        {". 1 | : . R", CALC_E_TOO_MANY},
        {"R 1 + : @3 G", CALC_E_ACC_OUT_GUN},
        {"R 1 + : @3 @1", CALC_E_TOO_MANY},
        {"R 1 + : @5", CALC_E_ACC_NUMBER},
        {"R 1 + : @12", CALC_E_ACC_NUMBER},
        {"R (1,2) | : R", CALC_E_COLOUR},
        {"R (1,2,256) | : R", CALC_E_COLOUR},
        {"R (1,2,3 | : R", CALC_E_COLOUR},
        {"R (1,2,3,4,5) | : R", CALC_E_COLOUR},
        {"R (1,-2,3) | : R", CALC_E_COLOUR},
        {"R 12x + : G", CALC_E_TOKEN},
        {"R 0x + : G", CALC_E_TOKEN},
        {"R , : G", CALC_E_TOKEN},
        {"R 2 + : H", CALC_E_TOKEN},
        {"@1 2 * : G", CALC_E_ACC_GUN},
        {"A 1 + : A", CALC_E_ALPHA},
        {"A 1 + : A", CALC_OK, true},
        {"R G + :", CALC_E_NO_DEST},
    };
    for (const Case& c : cases) {
        calcContext ctx = displayCtx();
        ctx.alphaOk = c.alphaOk;
        calcCmd cmd;
        EXPECT_EQ(parse(c.line, ctx, cmd), c.err) << c.line;
    }
    calcContext ctx = displayCtx();
    ctx.cols = 5;
    calcCmd cmd;
    EXPECT_EQ(parse("@1R 2 * : G", ctx, cmd), CALC_E_ACC_SIZE);
}

TEST(CalcSyntax, TokenListNeverGrowsPastThirtyTwo)
{
    std::string line = "R";
    for (int k = 0; k < 14; ++k)
        line += " 1 +";
    calcCmd cmd;
    EXPECT_EQ(parse(line + " : G", displayCtx(), cmd), CALC_OK) << "31 tokens";
    EXPECT_EQ(cmd.n, 31);
    EXPECT_EQ(parse(line + " : G B", displayCtx(), cmd), CALC_OK) << "32 tokens";
    EXPECT_EQ(parse(line + " : G B R", displayCtx(), cmd), CALC_E_PUT) << "33 tokens";
    std::string huge = "R";
    for (int k = 0; k < 200; ++k)
        huge += " 1 +";
    EXPECT_EQ(parse(huge + " : G", displayCtx(), cmd), CALC_E_PUT);
    EXPECT_EQ(cmd.n, CALC_MAX_TOKENS);
}

TEST(CalcSyntax, OperatorsAndOutputsAreReadAsWritten)
{
    const struct {
        const char* text;
        int op;
    } ops[] = {{"+", OP_ADD},  {"-", OP_SUB},  {"*", OP_MUL},   {"/", OP_DIV},  {"&", OP_AND},
               {"|", OP_OR},   {"^", OP_XOR},  {"!&", OP_NAND}, {"!|", OP_NOR}, {"!", OP_NEQ},
               {"!=", OP_NEQ}, {"=", OP_EQ},   {"<", OP_LT},    {">", OP_GT},   {"<=", OP_LE},
               {">=", OP_GE},  {"<<", OP_SHL}, {">>", OP_SHR},  {"{", OP_ZSET}, {"}", OP_NZSET}};
    for (const auto& o : ops) {
        calcCmd cmd;
        ASSERT_EQ(calcTokenize(std::string("R 3 ") + o.text + " : G", displayCtx(), &cmd), CALC_OK)
            << o.text;
        ASSERT_EQ(cmd.n, 5) << o.text;
        EXPECT_EQ(cmd.tok[2].kind, CT_OPER);
        EXPECT_EQ(cmd.tok[2].op, o.op) << o.text;
    }
    EXPECT_STREQ(calcOperName(OP_NAND), "Not &");
    EXPECT_STREQ(calcOperName(OP_SHR), ">>   ");
    EXPECT_STREQ(calcOperName(OP_COUNT), "-error-");
    EXPECT_STREQ(calcErrorText(4), "***> 'PUT' operator [:] missing or syntax error");
    EXPECT_STREQ(calcErrorText(29), "***> CALC Severe; RenderPix class create fail");
    EXPECT_STREQ(calcErrorText(30), "");

    calcCmd cmd;
    ASSERT_EQ(parse(". (255,0,0) & : @3", displayCtx(), cmd), CALC_OK);
    EXPECT_EQ(cmd.tok[1].value, px(255, 0, 0));
    calcTargets t = calcTargetsOf(cmd);
    EXPECT_EQ(t.outAcc, 2);
    EXPECT_TRUE(t.outBitfield) << "a bitfield operand makes the output packed";
    EXPECT_FALSE(t.pixels);
    EXPECT_TRUE(t.reads);
    ASSERT_EQ(parse(
                  "@1R 2 * : R A @3",
                  [] {
                      calcContext c = displayCtx();
                      c.alphaOk = true;
                      return c;
                  }(),
                  cmd),
              CALC_OK);
    t = calcTargetsOf(cmd);
    EXPECT_TRUE(t.inAcc[0]);
    EXPECT_FALSE(t.reads);
    EXPECT_FALSE(t.outBitfield);
    EXPECT_TRUE(t.pixels);
    EXPECT_TRUE(t.alpha);
}

// One line of pixels through a command in the display scope (@1 and @2 given per test).
std::vector<int32u> run(const std::string& line, std::vector<int32u> pix, bool absMode = false,
                        const int32u* acc1 = nullptr, const int32u* acc2 = nullptr,
                        int32u* out = nullptr, calcTrace* trace = nullptr, bool acc2Single = false)
{
    calcContext ctx = displayCtx();
    if (acc2Single)
        ctx.acc[1].nBands = 1;
    ctx.cols = int32u(pix.size());
    ctx.acc[0].cols = ctx.acc[1].cols = ctx.cols;
    calcCmd cmd;
    EXPECT_EQ(parse(line, ctx, cmd), CALC_OK) << line;
    std::vector<int32u> v(pix.size()), w(pix.size());
    calcLine l;
    l.pix = pix.data();
    l.n = pix.size();
    l.accIn[0] = acc1;
    l.accIn[1] = acc2;
    l.accOut = out;
    calcEvalLine(cmd, absMode, l, v.data(), w.data(), trace);
    return pix;
}

TEST(CalcEval, WorkedExamples)
{
    // Mean of red and green into blue, truncated.
    EXPECT_EQ(run("R G + 2 / : B", {px(200, 101, 7, 9)})[0], px(200, 101, 150, 9));
    // Red above 200 into all three guns, the rest 0.
    const auto keep = run("R 200 > : R G B", {px(201, 5, 6), px(200, 5, 6), px(255, 1, 1, 3)});
    EXPECT_EQ(keep, (std::vector<int32u>{px(201, 201, 201), 0, px(255, 255, 255, 3)}));
    // Differences: with ABS the larger minus the smaller; without, the low byte of the wrap.
    EXPECT_EQ(run("R G - : R", {px(10, 30, 0)}, true)[0], px(20, 30, 0));
    EXPECT_EQ(run("R G - : R", {px(10, 30, 0)}, false)[0], px(236, 30, 0));
    // A zero divisor gives all ones, whose low byte is 255.
    EXPECT_EQ(run("R 0 / : G", {px(9, 1, 2)})[0], px(9, 255, 2));
    // Only the red byte of every pixel is kept, alpha included.
    EXPECT_EQ(run(". (255,0,0) & : .", {px(1, 2, 3, 4)})[0], px(1, 0, 0, 0));
    EXPECT_EQ(run(". (255,0,0,255) & : .", {px(1, 2, 3, 4)})[0], px(1, 0, 0, 4));
    // Guns take the low byte, without clamping.
    EXPECT_EQ(run("R 2 * : G", {px(200, 0, 0)})[0], px(200, 144, 0));
    // Strictly left to right: (R + 1) * 2, no precedence.
    EXPECT_EQ(run("R 1 + 2 * : B", {px(3, 0, 0)})[0], px(3, 0, 8));
    // A constant first, then a gun.
    EXPECT_EQ(run("100 R - : B", {px(30, 0, 0)})[0], px(30, 0, 70));
    // Zero-set and non-zero-set.
    EXPECT_EQ(run("R 7 { : G", {px(0, 1, 1), px(3, 1, 1)}),
              (std::vector<int32u>{px(0, 7, 1), px(3, 3, 1)}));
    EXPECT_EQ(run("R 7 } : G", {px(0, 1, 1), px(3, 1, 1)}),
              (std::vector<int32u>{px(0, 0, 1), px(3, 7, 1)}));
}

TEST(CalcEval, AccumulatorsInAndOut)
{
    const std::vector<int32u> a1 = {5, 0xFFFFFFF6u /* -10 */, 300, 7};
    const std::vector<int32u> a2 = {px(1, 2, 3, 4), px(9, 8, 7, 6), 0, 0xFFFFFFFFu};
    std::vector<int32u> out(4);
    // A single-band accumulator gives its values whatever the letter.
    run("@1B 2 * : @3", {0, 0, 0, 0}, false, a1.data(), nullptr, out.data());
    EXPECT_EQ(out, (std::vector<int32u>{10, 0xFFFFFFECu, 600, 14}));
    // Signed division truncates toward zero.
    run("@1R 3 / : @3", {0, 0, 0, 0}, false, a1.data(), nullptr, out.data());
    EXPECT_EQ(out, (std::vector<int32u>{1, 0xFFFFFFFDu, 100, 2}));
    // A packed accumulator gives one gun's byte, or the whole pixel.
    run("@2G 1 + : @3", {0, 0, 0, 0}, false, nullptr, a2.data(), out.data());
    EXPECT_EQ(out, (std::vector<int32u>{3, 9, 1, 256}));
    const auto pix = run(". @2. ^ : .", {0, 0, 0, 0}, false, nullptr, a2.data(), nullptr);
    EXPECT_EQ(pix, a2);
    // Comparisons are signed: -10 is below 0.
    run("@1R 0 < : @3", {0, 0, 0, 0}, false, a1.data(), nullptr, out.data());
    EXPECT_EQ(out, (std::vector<int32u>{0, 0xFFFFFFF6u, 0, 0}));
}

// The reference: each operator on one pair of words, in 64-bit arithmetic, as the calculator
// defines it.
int32u reference(int op, bool absMode, int32u v, int32u w)
{
    const std::int64_t sv = int32(v), sw = int32(w);
    const std::uint64_t m = 0xFFFFFFFFu;
    switch (op) {
    case OP_ADD:
        return int32u((std::uint64_t(v) + w) & m);
    case OP_SUB:
        return int32u(absMode ? std::uint64_t(std::llabs(sv - sw)) & m : (sv - sw) & m);
    case OP_MUL:
        return int32u((std::uint64_t(v) * w) & m);
    case OP_DIV:
        return sw > 0 ? int32u(std::uint64_t(sv / sw) & m) : 0xFFFFFFFFu;
    case OP_AND:
        return v & w;
    case OP_OR:
        return v | w;
    case OP_NAND:
        return ~(v & w);
    case OP_NOR:
        return ~(v | w);
    case OP_XOR:
        return v ^ w;
    case OP_GT:
        return sv > sw ? v : 0;
    case OP_LT:
        return sv < sw ? v : 0;
    case OP_EQ:
        return v == w ? v : 0;
    case OP_NEQ:
        return v != w ? v : 0;
    case OP_LE:
        return sv <= sw ? v : 0;
    case OP_GE:
        return sv >= sw ? v : 0;
    case OP_ZSET:
        return v == 0 ? w : v;
    case OP_NZSET:
        return v != 0 ? w : v;
    case OP_SHL:
        return int32u((std::uint64_t(v) << (w & 31)) & m);
    default: // OP_SHR, arithmetic
        return int32u(std::uint64_t(sv >> (w & 31)) & m);
    }
}

const char* operText(int op)
{
    static const char* const t[OP_COUNT] = {"+", "-", "*", "/",  "&",  "|", "!&", "!|", "^", ">",
                                            "<", "=", "!", "<=", ">=", "{", "}",  "<<", ">>"};
    return t[op];
}

TEST(CalcEval, EveryOperatorMatchesTheReferenceOnRandomWords)
{
    std::mt19937 rng(1234);
    const std::size_t n = 1031; // not a multiple of any vector width
    std::vector<int32u> a(n), b(n), out(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = rng();
        b[i] = rng();
    }
    // Edges the random words rarely hit: zero, one, minus one, the signed extremes, equals.
    const int32u edges[] = {0, 1, 0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 2, 0xFFFFFFFEu};
    for (std::size_t i = 0; i < 7; ++i)
        for (std::size_t j = 0; j < 7; ++j) {
            a[i * 7 + j] = edges[i];
            b[i * 7 + j] = edges[j];
        }
    a[60] = b[60] = 12345;
    const std::vector<int32u> none(n, 0);
    for (int op = 0; op < OP_COUNT; ++op)
        for (bool absMode : {false, true}) {
            // A line operand, full words and bytes of packed pixels: shifts only take
            // constants, so they are checked below.
            if (op != OP_SHL && op != OP_SHR) {
                const std::string line = std::string("@1R @2R ") + operText(op) + " : @3";
                run(line, none, absMode, a.data(), b.data(), out.data(), nullptr, true);
                for (std::size_t i = 0; i < n; ++i)
                    ASSERT_EQ(out[i], reference(op, absMode, a[i], b[i]))
                        << operText(op) << " at " << i;
                run(line, none, absMode, a.data(), b.data(), out.data());
                for (std::size_t i = 0; i < n; ++i)
                    ASSERT_EQ(out[i], reference(op, absMode, a[i], (b[i] >> 16) & 0xFF))
                        << operText(op) << " packed at " << i;
            }
            // A constant operand, the divisor and shift cases included.
            for (int32u c : {0u, 1u, 2u, 3u, 7u, 31u, 255u, 641u, 1000003u, 0x7FFFFFFFu}) {
                if ((op == OP_SHL || op == OP_SHR) && c > 31)
                    continue;
                run("@1R " + std::to_string(c) + " " + operText(op) + " : @3", none, absMode,
                    a.data(), nullptr, out.data());
                for (std::size_t i = 0; i < n; ++i)
                    ASSERT_EQ(out[i], reference(op, absMode, a[i], c))
                        << operText(op) << " " << c << " at " << i;
            }
        }
}

TEST(CalcEval, FullWordOperandsThroughPixels)
{
    // The whole pixel is a full 32-bit operand: the bitwise operators see every bit.
    std::mt19937 rng(99);
    std::vector<int32u> p(257), acc(257);
    for (std::size_t i = 0; i < p.size(); ++i) {
        p[i] = rng();
        acc[i] = rng();
    }
    for (const char* o : {"&", "|", "^", "!&", "!|", "=", "!", "{", "}"}) {
        const int op = [&] {
            for (int k = 0; k < OP_COUNT; ++k)
                if (std::string(operText(k)) == o)
                    return k;
            return -1;
        }();
        const auto got = run(std::string(". @2. ") + o + " : .", p, false, nullptr, acc.data());
        for (std::size_t i = 0; i < p.size(); ++i)
            ASSERT_EQ(got[i], reference(op, false, p[i], acc[i])) << o << " at " << i;
    }
}

TEST(CalcEval, TraceFollowsTheMiddleColumn)
{
    calcTrace tr;
    tr.col = 1;
    run("R G + 2 / : B", {0, px(200, 101, 7), 0}, false, nullptr, nullptr, nullptr, &tr);
    EXPECT_EQ(tr.before, px(200, 101, 7));
    EXPECT_EQ(tr.after, px(200, 101, 150));
    ASSERT_EQ(tr.steps, 2);
    EXPECT_EQ(tr.step[0].value, 200u);
    EXPECT_EQ(tr.step[0].operand, 101u);
    EXPECT_EQ(tr.step[0].result, 301u);
    EXPECT_EQ(tr.step[0].op, OP_ADD);
    EXPECT_EQ(tr.step[1].operand, 2u);
    EXPECT_EQ(tr.step[1].result, 150u);
}

TEST(CalcFloats, TruncatedSaturatedAndNaNAsZero)
{
    const float in[] = {1.0f,          1.9f, -1.9f, 0.0f,
                        65535.5f,      3e9f, -3e9f, std::numeric_limits<float>::infinity(),
                        std::nanf(""), -0.4f};
    const int32 want[] = {1, 1, -1, 0, 65535, 2147483647, -2147483647 - 1, 2147483647, 0, 0};
    int32u out[10];
    calcFloatsToInts(in, out, 10);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(int32(out[k]), want[k]) << in[k];
}

} // namespace
