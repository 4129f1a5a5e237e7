// Throughput of the readers on window trees of the size the snapshots allow (20000 nodes,
// 80 levels), shaped like each application's meeting view, and the whole cost of one poll outside
// UI Automation: the snapshot walk over cached trees, readers, selection, resolver and emitter.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cached_tree.hpp"
#include "main/output.hpp"
#include "main/program.hpp"
#include "readers/model.hpp"
#include "readers/teams_meet.hpp"
#include "readers/zoom.hpp"
#include "uia/element.hpp"

namespace {

using readers::Node;
using readers::Window;

constexpr std::int32_t GROUP = 50026;
constexpr std::int32_t LIST_ITEM = 50007;
constexpr std::size_t SPINE = 60;   // nested containers above the tiles
constexpr std::size_t TILES = 100;  // participant tiles
constexpr std::size_t TILE_SIZE = 120;

Node node(std::string name, std::vector<std::string> classes = {}, std::int32_t type = GROUP,
          std::vector<Node> children = {}) {
  return Node{std::move(name), std::move(classes), type, std::move(children)};
}

// A subtree of exactly `size` nodes with fan-out 4; `type` is given to every other node.
Node filler(std::size_t size, std::int32_t type, std::size_t& serial) {
  const std::size_t id = serial++;
  Node n = node((id % 7 == 0 ? "Item, " : "Item ") + std::to_string(id), {"pane", "row"},
                id % 2 ? readers::CONTROL_TYPE_TEXT : type);
  std::size_t rest = size - 1;
  const std::size_t count = std::min<std::size_t>(4, rest);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t share = rest / (count - i);
    n.children.push_back(filler(share, type, serial));
    rest -= share;
  }
  return n;
}

std::size_t count_nodes(const Node& n, std::size_t depth, std::size_t& max_depth) {
  max_depth = std::max(max_depth, depth);
  std::size_t total = 1;
  for (const Node& child : n.children) total += count_nodes(child, depth + 1, max_depth);
  return total;
}

// A window over a copy of the tree: a copy, like the snapshot walk, allocates the nodes in
// pre-order, which is the memory layout the readers meet in a poll.
Window laid_out(const Node& root) {
  return Window{Node(root), false, false};
}

// Root, a chain of containers, the tile grid with `tiles` tiles, and a side panel that fills
// the tree up to `total` nodes. `tile` makes tile i with the given number of nodes.
Window make_window(std::size_t total, std::int32_t filler_type,
                   const std::function<Node(std::size_t, std::size_t, std::size_t&)>& tile,
                   Node last = node("")) {
  std::size_t serial = 0;
  const std::size_t tiles = std::max<std::size_t>(2, TILES * total / 20000);
  Node grid = node("Gallery", {"grid"});
  for (std::size_t i = 0; i < tiles; ++i) grid.children.push_back(tile(i, TILE_SIZE, serial));
  const std::size_t used =
      1 + SPINE + 2 + tiles * TILE_SIZE + 1;  // root, chain, meeting, grid, last
  Node panel = filler(total > used ? total - used : 1, filler_type, serial);
  panel.children.push_back(std::move(last));
  // Children are moved in one by one: a braced list would copy each subtree once per level.
  Node inner = node("Meeting");
  inner.children.push_back(std::move(grid));
  inner.children.push_back(std::move(panel));
  for (std::size_t i = 0; i < SPINE; ++i) {
    Node frame = node("", {"frame"});
    frame.children.push_back(std::move(inner));
    inner = std::move(frame);
  }
  Node root = node("Window", {}, 50032);
  root.children.push_back(std::move(inner));
  return laid_out(root);
}

std::string person(std::size_t i) {
  return "Person Number" + std::to_string(i);
}

Window teams_window(std::size_t total) {
  return make_window(total, readers::CONTROL_TYPE_MENU_ITEM,
                     [](std::size_t i, std::size_t size, std::size_t& serial) {
                       std::vector<Node> inside{
                           node("", {"lpcCommonWeb-hoverTarget"}, GROUP,
                                {node(person(i) + " (Guest)", {}, readers::CONTROL_TYPE_TEXT)}),
                           node("", {"vdi-occlusion"})};
                       if (i % 10 == 3) inside.push_back(node("", {"vdi-frame-occlusion"}));
                       inside.push_back(filler(size - inside.size() - 2, GROUP, serial));
                       return node(person(i) + " Has context menu",
                                   i == 0 ? std::vector<std::string>{"vdi-dynamic-occlusion"}
                                          : std::vector<std::string>{},
                                   readers::CONTROL_TYPE_MENU_ITEM, std::move(inside));
                     });
}

Window meet_window(std::size_t total) {
  return make_window(total, GROUP, [](std::size_t i, std::size_t size, std::size_t& serial) {
    std::vector<Node> inside{node(
        "", {"zWGUib"}, GROUP,
        {node(person(i) + (i == 0 ? " (You)" : " (presenting)"), {}, readers::CONTROL_TYPE_TEXT)})};
    if (i % 10 == 3) inside.push_back(node("", {"kssMZb"}));
    inside.push_back(filler(size - inside.size() - 2, GROUP, serial));
    return node("", {i == 0 ? "aGWPv" : "dkjMxf"}, GROUP, std::move(inside));
  });
}

Window zoom_window(std::size_t total) {
  return make_window(
      total, LIST_ITEM,
      [](std::size_t i, std::size_t size, std::size_t& serial) {
        std::string name = person(i) + (i == 0 ? " (Host, me)" : "") + ", Computer audio muted" +
                           (i == 3 ? ", Active speaker" : "");
        return node(std::move(name), {}, LIST_ITEM, {filler(size - 1, GROUP, serial)});
      },
      node("Zoom, Person Number0, Pro, Signed in"));
}

void report(benchmark::State& state, const Window& w) {
  std::size_t depth = 0;
  const std::size_t nodes = count_nodes(w.node, 1, depth);
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["depth"] = static_cast<double>(depth);
  state.SetComplexityN(static_cast<benchmark::IterationCount>(nodes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * nodes));
}

void BM_TeamsReader(benchmark::State& state) {
  const Window w = teams_window(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(readers::TeamsReader::read(w.node));
  report(state, w);
}

void BM_MeetReader(benchmark::State& state) {
  const Window w = meet_window(static_cast<std::size_t>(state.range(0)));
  readers::MeetReader reader;
  for (auto _ : state) benchmark::DoNotOptimize(reader.read(w.node));
  report(state, w);
}

// What a poll asks of the Zoom reader for one window.
void run_zoom(benchmark::State& state, const Window& w) {
  readers::ZoomReader reader;
  const std::vector<Window> windows{w};
  for (auto _ : state) {
    reader.learn_account(windows);
    benchmark::DoNotOptimize(reader.read(w.node));
  }
  report(state, w);
}

void BM_ZoomReader(benchmark::State& state) {
  run_zoom(state, zoom_window(static_cast<std::size_t>(state.range(0))));
}

// One poll's selection over three windows of each application.
void BM_Select(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const std::vector<Window> teams(3, teams_window(size));
  const std::vector<Window> meet(3, meet_window(size));
  const std::vector<Window> zoom(3, zoom_window(size));
  readers::MeetReader meet_reader;
  readers::ZoomReader zoom_reader;
  for (auto _ : state) {
    benchmark::DoNotOptimize(readers::select(teams, readers::TeamsReader::read));
    benchmark::DoNotOptimize(
        readers::select(meet, [&](const Node& root) { return meet_reader.read(root); }));
    zoom_reader.learn_account(zoom);
    benchmark::DoNotOptimize(
        readers::select(zoom, [&](const Node& root) { return zoom_reader.read(root); }));
  }
  report(state, teams[0]);
}

// A large meeting's participant list: one row per participant, each a tile of Zoom's reader with
// a few nodes inside, so that the number of tiles grows with the tree.
Window zoom_list_window(std::size_t total) {
  constexpr std::size_t ROW_SIZE = 4;
  std::size_t serial = 0;
  Node list = node("Participants", {}, LIST_ITEM);
  for (std::size_t i = 0; list.children.size() * ROW_SIZE + 3 < total; ++i) {
    list.children.push_back(node(person(i) + (i == 0 ? " (Host, me)" : "") +
                                     ", Computer audio muted" + (i == 7 ? ", Active speaker" : ""),
                                 {}, LIST_ITEM, {filler(ROW_SIZE - 1, GROUP, serial)}));
  }
  Node root = node("Zoom", {}, 50032);
  root.children.push_back(std::move(list));
  root.children.push_back(node("Zoom, Person Number0, Pro, Signed in"));
  return laid_out(root);
}

void BM_ZoomParticipantList(benchmark::State& state) {
  run_zoom(state, zoom_list_window(static_cast<std::size_t>(state.range(0))));
}

// A large webinar: one reading of `range` distinct names against a resolver that has already
// seen them all, as at every poll after the first.
void BM_Resolver(benchmark::State& state) {
  readers::Reading reading;
  reading.app = readers::App(readers::App::Zoom).name();
  for (std::size_t i = 0; i < static_cast<std::size_t>(state.range(0)); ++i) {
    reading.names.push_back(person(i));
  }
  reading.participants = reading.names.size() + 1;
  reading.tiles = reading.participants;
  reading.self_present = true;
  readers::SpeakerResolver resolver;
  resolver.resolve(reading);
  // The reading comes back with its names as they were, so it is handed over again: the loop
  // measures the resolver, not copies of the names.
  for (auto _ : state) {
    reading = resolver.resolve(std::move(reading));
    benchmark::DoNotOptimize(reading);
  }
  if (resolver.seen.size() != reading.names.size()) state.SkipWithError("names were lost");
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// The snapshot walk alone over one window's cached tree of 20000 elements.
void BM_Convert(benchmark::State& state) {
  const uia::test::TestNode cached = uia::test::cached(zoom_window(uia::ELEMENT_BUDGET).node);
  for (auto _ : state) {
    std::uint32_t budget = uia::ELEMENT_BUDGET;
    bool truncated = false;
    benchmark::DoNotOptimize(uia::convert(uia::test::TestElement(cached), 0, budget, truncated));
  }
  report(state, zoom_window(uia::ELEMENT_BUDGET));
}

// One poll with a window of each application, each of 20000 elements: the walks, readers,
// selection, resolver and the output line.
void BM_Poll(benchmark::State& state) {
  struct Cached {
    readers::App app;
    uia::test::TestNode tree;
  };
  const std::vector<Cached> trees{
      {readers::App::Meet, uia::test::cached(meet_window(uia::ELEMENT_BUDGET).node)},
      {readers::App::Teams, uia::test::cached(teams_window(uia::ELEMENT_BUDGET).node)},
      {readers::App::Zoom, uia::test::cached(zoom_window(uia::ELEMENT_BUDGET).node)},
  };
  huddlewatch::PollState poll;
  const uia::Instant start = std::chrono::steady_clock::now();
  std::int64_t polls = 0;
  for (auto _ : state) {
    std::vector<uia::AppWindows> groups;
    for (const Cached& c : trees) {
      std::uint32_t budget = uia::ELEMENT_BUDGET;
      bool truncated = false;
      std::optional<Node> root = uia::convert(uia::test::TestElement(c.tree), 0, budget, truncated);
      groups.push_back(uia::AppWindows{{}, false, c.app});
      groups.back().windows.push_back(Window{std::move(*root), false, truncated});
    }
    const std::vector<readers::Reading> readings = huddlewatch::read_groups(groups, poll);
    // Every poll is a second apart, so the line is built but mostly held back.
    benchmark::DoNotOptimize(
        poll.emitter.line(1, 0, readings, start + std::chrono::seconds(++polls)));
  }
  state.counters["nodes"] = static_cast<double>(3 * uia::ELEMENT_BUDGET);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(5000)->Arg(10000)->Arg(20000)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TeamsReader)->Apply(sizes);
BENCHMARK(BM_MeetReader)->Apply(sizes);
BENCHMARK(BM_ZoomReader)->Apply(sizes);
BENCHMARK(BM_Select)->Apply(sizes);
BENCHMARK(BM_ZoomParticipantList)->Apply(sizes);
BENCHMARK(BM_Resolver)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Poll)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
