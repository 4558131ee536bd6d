#include "schema/table_sort.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

using TRefs = std::vector<std::vector<int>>;  // per record: sorted indexes of records it names

// Record r refers to record s (s != r) when s's name is among r's master tables. Names are
// compared exactly; a name that matches no record is ignored, and a record never refers to
// itself, so self-references play no part.
TRefs BuildRefs(const TTables& tables) {
    QHash<QString, std::vector<int>> by_name;
    for (int i = 0; i < tables.size(); ++i) {
        by_name[tables[i].name].push_back(i);
    }
    TRefs refs(tables.size());
    for (int r = 0; r < tables.size(); ++r) {
        for (const QString& master : tables[r].master_tables) {
            const auto it = by_name.constFind(master);
            if (it == by_name.constEnd()) {
                continue;
            }
            for (int s : *it) {
                if (s != r) {
                    refs[r].push_back(s);
                }
            }
        }
        std::sort(refs[r].begin(), refs[r].end());
        refs[r].erase(std::unique(refs[r].begin(), refs[r].end()), refs[r].end());
    }
    return refs;
}

// Foreign keys may form cycles (A -> B -> A, possibly through further tables); no order puts
// every table after all its masters then, and the swapping passes below would never settle.
// We break each cycle by ignoring the references that close it: a depth-first walk, roots and
// references taken in list order, drops every reference that leads back to a record still on
// the walk's path (a back edge). What remains is acyclic, and the cycle's other references
// still order its tables. An acyclic list has no back edge, so nothing is dropped and the
// passes give exactly the order they always gave.
void DropCycleRefs(TRefs& refs) {
    enum TMark : char { kNew, kOnPath, kDone };
    const int count = static_cast<int>(refs.size());
    std::vector<char> mark(count, kNew);
    // Iterative walk: the schema may hold long reference chains.
    std::vector<std::pair<int, size_t>> path;  // record, next reference to follow
    for (int root = 0; root < count; ++root) {
        if (mark[root] != kNew) {
            continue;
        }
        mark[root] = kOnPath;
        path.emplace_back(root, 0);
        while (!path.empty()) {
            auto& [node, next] = path.back();
            std::vector<int>& out = refs[node];
            if (next >= out.size()) {
                mark[node] = kDone;
                path.pop_back();
                continue;
            }
            const int target = out[next];
            if (mark[target] == kOnPath) {
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(next));
            } else if (mark[target] == kNew) {
                ++next;
                mark[target] = kOnPath;
                path.emplace_back(target, 0);
            } else {
                ++next;
            }
        }
    }
}

bool Refers(const TRefs& refs, int from, int to) {
    return std::binary_search(refs[from].begin(), refs[from].end(), to);
}

}  // namespace

void SortTables(TTables& tables) {
    if (tables.size() < 2) {
        return;
    }
    TRefs refs = BuildRefs(tables);
    DropCycleRefs(refs);

    // order[p] is the original index of the record now at position p. The passes swap the
    // record at i with a later record it refers to and then go on comparing the new record at
    // i with the positions after j. On an acyclic graph every swap brings a record of lower
    // depth forward, so the passes end.
    const int count = static_cast<int>(tables.size());
    std::vector<int> order(count);
    for (int p = 0; p < count; ++p) {
        order[p] = p;
    }
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int i = 0; i < count; ++i) {
            for (int j = i + 1; j < count; ++j) {
                if (Refers(refs, order[i], order[j])) {
                    std::swap(order[i], order[j]);
                    swapped = true;
                }
            }
        }
    }

    TTables sorted;
    sorted.reserve(count);
    for (int p = 0; p < count; ++p) {
        sorted.append(std::move(tables[order[p]]));
    }
    tables = std::move(sorted);
}
