// Tour: points, sizes and rectangles; the bit field and the 96-bit integer.
#include <brindle/brindle.h>

#include <cstdio>

#include "examples/tour/tour.h"

namespace {

void Print(char const* label, ARect const& r) {
  std::printf("  %-26s (%d, %d, %d, %d)\n", label, r.Left(), r.Top(), r.Right(), r.Bottom());
}

// Each cell of the object shows which piece of the subtraction covers it, or
// '#' where the cut takes it away.
void DrawSubtraction(ARect const& object, ARect const& cut) {
  ARect pieces[4];
  int const n = object.Subtract(cut, pieces);
  std::printf("  (%d, %d, %d, %d) minus (%d, %d, %d, %d): %d pieces\n", object.Left(), object.Top(), object.Right(),
              object.Bottom(), cut.Left(), cut.Top(), cut.Right(), cut.Bottom(), n);
  for (int y = object.Top(); y < object.Bottom(); ++y) {
    std::printf("    ");
    for (int x = object.Left(); x < object.Right(); ++x) {
      char cell = '#';
      for (int i = 0; i < n; ++i) {
        if (pieces[i].Contains(APoint(x, y))) cell = static_cast<char>('1' + i);
      }
      std::putchar(cell);
    }
    std::putchar('\n');
  }
  for (int i = 0; i < n; ++i) {
    char label[sizeof "piece -2147483648"];  // the longest an int makes
    std::snprintf(label, sizeof label, "piece %d", i + 1);
    Print(label, pieces[i]);
  }
}

void PrintSet(unsigned int i, void*) { std::printf(" %u", i); }

void PrintHuge(char const* label, AHugeNum const& n) {
  std::printf("  %-26s %08X %08X %08X\n", label, n.HSW(), n.MSW(), n.LSW());
}

}  // namespace

void ValuesTour() {
  std::printf("\nAPoint, ASize, ARect\n");
  APoint const p(3, 4);
  ASize const apart = APoint(10, 7) - p;
  std::printf("  (10, 7) - (3, 4)           size (%d, %d)\n", apart.X(), apart.Y());
  std::printf("  |(3, 4)|                   %d\n", p.Magnitude());
  std::printf("  |(46341, 0)|               %d (exact at any scale)\n", APoint(46341, 0).Magnitude());
  ARect const a(0, 0, 10, 10);
  Print("(0,0,10,10) & (5,5,15,15)", a & ARect(5, 5, 15, 15));
  Print("(0,0,10,10) | (20,2,25,4)", a | ARect(20, 2, 25, 4));
  Print("Inflate(1, 2)", a.InflateBy(1, 2));
  Print("Normalized (10,20,0,5)", ARect(10, 20, 0, 5).Normalized());
  DrawSubtraction(ARect(0, 0, 24, 8), ARect(7, 2, 15, 5));
  DrawSubtraction(ARect(0, 0, 24, 8), ARect(16, -2, 30, 5));

  std::printf("\nABitField, AHugeNum\n");
  ABitField bits(20);
  bits.BSET(0).BSET(3).BSET(19);
  std::printf("  20-bit field, set bits (highest first):");
  bits.ForEachSet(PrintSet, nullptr);
  std::printf("\n  bit 3 %d, bit 4 %d, bit 20 (past the end) %d\n", bits.BTEST(3), bits.BTEST(4), bits.BTEST(20));
  AHugeNum n(1);
  n <<= 95;
  PrintHuge("1 << 95", n);
  PrintHuge("+ (1 << 95): wraps to 0", AHugeNum(n) += n);
  AHugeNum all;
  --all;
  PrintHuge("0 - 1", all);
  AHugeNum big(0xFFFFFFFF);
  ++big;
  PrintHuge("0xFFFFFFFF + 1", big);
  PrintHuge("1 << -1 (count mod 96: 63)", AHugeNum(1) <<= -1);
}
