#include "library/table.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

TEST(TableTest, CountsBelowOneBecomeOne) {
  struct Case {
    int cols, rows;
  };
  for (const Case& c : {Case{0, 0}, Case{-3, 1}, Case{1, -7}}) {
    const Table table(c.cols, c.rows);
    EXPECT_EQ(table.ColCount(), 1) << c.cols << "x" << c.rows;
    EXPECT_EQ(table.RowCount(), 1) << c.cols << "x" << c.rows;
  }
  Table table(4, 3);
  table.SetColCount(0);
  table.SetRowCount(-1);
  EXPECT_EQ(table, Table(1, 1));
  EXPECT_EQ(Table(), Table(1, 1));
}

TEST(TableTest, ShrinkingDropsCellsAndGrowingAddsEmptyOnes) {
  Table table(2, 2);
  table.SetCell(0, 0, "keep");
  table.SetCell(1, 1, "dropped");
  table.SetColCount(1);
  table.SetRowCount(1);
  table.SetColCount(3);
  table.SetRowCount(3);
  EXPECT_EQ(table.Cell(0, 0), "keep");
  for (int col = 0; col < 3; ++col) {
    for (int row = 0; row < 3; ++row) {
      if (col == 0 && row == 0) continue;
      EXPECT_EQ(table.Cell(col, row), "") << col << "," << row;
    }
  }
}

TEST(TableTest, CellsOutsideTheCountsReadEmptyAndIgnoreWrites) {
  Table table(2, 2);
  table.SetCell(1, 1, "inside");
  const Table before = table;
  for (auto [col, row] : {std::pair{2, 0}, {0, 2}, {-1, 0}, {0, -1}, {100, 100}}) {
    table.SetCell(col, row, "outside");
    EXPECT_EQ(table.Cell(col, row), "") << col << "," << row;
  }
  EXPECT_EQ(table, before);
}

TEST(TableTest, AddRowAppendsAnEmptyRowAtTheBottom) {
  Table table(2, 1);
  table.SetCell(0, 0, "first");
  table.AddRow();
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(0, 0), "first");
  EXPECT_EQ(table.Cell(0, 1), "");
  EXPECT_EQ(table.Cell(1, 1), "");
}

TEST(TableTest, CopiesAreIndependent) {
  Table table(1, 1);
  table.SetCell(0, 0, "before");
  const Table snapshot = table;
  table.SetCell(0, 0, "after");
  table.AddRow();
  EXPECT_EQ(snapshot.Cell(0, 0), "before");
  EXPECT_EQ(snapshot.RowCount(), 1);
}

Table Column(std::initializer_list<const char*> cells) {
  Table table(2, static_cast<int>(cells.size()));
  int row = 0;
  for (const char* cell : cells) {
    table.SetCell(0, row, cell);
    table.SetCell(1, row++, std::string(cell) + "!");
  }
  return table;
}

TEST(DeleteGridRowTest, RowsBelowMoveUp) {
  Table table = Column({"a", "b", "c"});
  DeleteGridRow(table, 1);
  EXPECT_EQ(table, Column({"a", "c"}));
  DeleteGridRow(table, 1);
  EXPECT_EQ(table, Column({"a"}));
}

TEST(DeleteGridRowTest, TheOnlyRowIsEmptied) {
  Table table = Column({"only"});
  DeleteGridRow(table, 0);
  EXPECT_EQ(table, Table(2, 1));
}

TEST(DeleteGridRowTest, RowOutsideTheTableChangesNothing) {
  for (int row : {-1, 3, 99}) {
    Table table = Column({"a", "b", "c"});
    DeleteGridRow(table, row);
    EXPECT_EQ(table, Column({"a", "b", "c"})) << row;
  }
  Table single = Column({"only"});
  DeleteGridRow(single, 1);
  EXPECT_EQ(single, Column({"only"}));
}

}  // namespace
}  // namespace vidoria
