#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "schema/table_sort.h"

namespace {

TTableRec Table(const QString& name, const QStringList& masters = {}) {
    TTableRec table;
    table.name = name;
    table.master_tables = masters;
    return table;
}

QStringList Names(const TTables& tables) {
    QStringList names;
    for (const TTableRec& table : tables) {
        names << table.name;
    }
    return names;
}

// The plain swapping passes, for comparison on inputs without cycles.
void PlainPasses(TTables& tables) {
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int i = 0; i < tables.size(); ++i) {
            for (int j = i + 1; j < tables.size(); ++j) {
                if (tables[i].master_tables.contains(tables[j].name)) {
                    tables.swapItemsAt(i, j);
                    swapped = true;
                }
            }
        }
    }
}

// True when every table stands after the tables it names (self-references aside).
bool MastersFirst(const TTables& tables) {
    const QStringList names = Names(tables);
    for (int i = 0; i < tables.size(); ++i) {
        for (const QString& master : tables[i].master_tables) {
            const int at = names.indexOf(master);
            if (at > i) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

TEST(TableSort, TrivialListsStay) {
    TTables empty;
    SortTables(empty);
    EXPECT_TRUE(empty.isEmpty());

    TTables one{Table("A", {"A"})};
    SortTables(one);
    EXPECT_EQ(Names(one), QStringList({"A"}));

    TTables plain{Table("B"), Table("A"), Table("C")};
    SortTables(plain);
    EXPECT_EQ(Names(plain), QStringList({"B", "A", "C"}));
}

TEST(TableSort, PassOrderIsKept) {
    TTables tables{Table("A", {"C"}), Table("B"), Table("C")};
    SortTables(tables);
    EXPECT_EQ(Names(tables), QStringList({"C", "B", "A"}));

    TTables chain{Table("A", {"B"}), Table("B", {"C"}), Table("C", {"D"}), Table("D")};
    SortTables(chain);
    EXPECT_EQ(Names(chain), QStringList({"D", "C", "B", "A"}));

    // Self-references, duplicate references and references to removed tables change nothing.
    TTables odd{Table("A", {"A", "GONE"}), Table("B", {"C", "C"}), Table("C")};
    SortTables(odd);
    EXPECT_EQ(Names(odd), QStringList({"A", "C", "B"}));
}

TEST(TableSort, RecordsMoveWhole) {
    TTables tables{Table("A", {"B"}), Table("B")};
    tables[0].rows = 7;
    TFieldRec id;
    id.name = "ID";
    tables[0].fields.append(id);
    tables[1].file_copy = "/tmp/b.dat";
    SortTables(tables);
    EXPECT_EQ(tables[0].name, "B");
    EXPECT_EQ(tables[0].file_copy, "/tmp/b.dat");
    EXPECT_EQ(tables[1].rows, 7);
    ASSERT_EQ(tables[1].fields.size(), 1);
    EXPECT_EQ(tables[1].fields[0].name, "ID");
}

TEST(TableSort, CyclesFinishDeterministically) {
    TTables pair{Table("A", {"B"}), Table("B", {"A"})};
    SortTables(pair);
    EXPECT_EQ(Names(pair), QStringList({"B", "A"}));

    // The reference closing the ring (C -> A) is ignored; the others still order the ring.
    TTables ring{Table("A", {"B"}), Table("B", {"C"}), Table("C", {"A"})};
    SortTables(ring);
    EXPECT_EQ(Names(ring), QStringList({"C", "B", "A"}));

    // Tables outside the cycle still follow their masters, and the same input always gives
    // the same order (a resumed copy relies on it).
    const TTables input{Table("E", {"A", "X"}), Table("A", {"B"}), Table("X"),
                        Table("B", {"A", "X"})};
    TTables first = input;
    TTables second = input;
    SortTables(first);
    SortTables(second);
    EXPECT_EQ(Names(first), Names(second));
    const QStringList names = Names(first);
    EXPECT_LT(names.indexOf("A"), names.indexOf("E"));
    EXPECT_LT(names.indexOf("B"), names.indexOf("E"));
    EXPECT_LT(names.indexOf("X"), names.indexOf("E"));
    EXPECT_LT(names.indexOf("X"), names.indexOf("B"));
}

TEST(TableSort, RandomListsMatchPassesOrEnd) {
    QRandomGenerator random(20261209);
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + random.bounded(9);
        TTables acyclic;
        TTables cyclic;
        for (int i = 0; i < count; ++i) {
            acyclic.append(Table(QString("T%1").arg(random.bounded(1000) * 10 + i)));
        }
        cyclic = acyclic;
        // References only to earlier-created tables keep the graph acyclic; the list is then
        // shuffled so the passes have work to do.
        for (int i = 0; i < count; ++i) {
            for (int j = 0; j < count; ++j) {
                if (random.bounded(4) == 0) {
                    cyclic[i].master_tables << cyclic[j].name;
                    if (j < i) {
                        acyclic[i].master_tables << acyclic[j].name;
                    }
                }
            }
        }
        for (int i = count - 1; i > 0; --i) {
            acyclic.swapItemsAt(i, random.bounded(i + 1));
        }
        TTables expected = acyclic;
        PlainPasses(expected);
        SortTables(acyclic);
        ASSERT_EQ(Names(acyclic), Names(expected));
        ASSERT_TRUE(MastersFirst(acyclic));

        QStringList before = Names(cyclic);
        SortTables(cyclic);
        QStringList after = Names(cyclic);
        before.sort();
        after.sort();
        ASSERT_EQ(before, after);
    }
}
