// The toolkit, the monitor's shared state and its views, reached from Python:
// screens are rendered off-screen and handed back as text plus per-cell
// style names ("" for the default, "Cyan", "Yellow+bold", "Black/Green").
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "python/tui/number_format.hpp"
#include "python/tui/shared_state.hpp"
#include "python/tui/views/axes.hpp"
#include "python/tui/views/panels.hpp"
#include "python/tui/views/views.hpp"
#include "termui/ansi_diff.hpp"
#include "termui/chart.hpp"
#include "termui/gauge.hpp"
#include "termui/layout.hpp"
#include "termui/paragraph.hpp"
#include "termui/sparkline.hpp"
#include "termui/terminal.hpp"
#include "testkit.hpp"

namespace zimbrel::testkit {
namespace {

using termui::Buffer;
using termui::Color;
using termui::Rect;
using termui::Style;
using tui::SharedState;

// ---------------------------------------------------------------- screens

const char* color_name(Color color) {
  static constexpr const char* kNames[] = {"",     "Black",   "Red",  "Green", "Yellow",  "Blue",
                                           "Magenta", "Cyan", "Gray", "DarkGray", "White"};
  return kNames[static_cast<int>(color)];
}

std::string style_name(Style style) {
  std::string name = color_name(style.fg);
  if (style.bg != Color::Default) name += std::string("/") + color_name(style.bg);
  if (style.bold) name += "+bold";
  return name;
}

// (lines, styles): one str per row, one list of style names per row.
PyObject* screen_result(const Buffer& buffer) {
  const Rect area = buffer.area();
  PyObject* lines = PyList_New(area.height);
  PyObject* styles = PyList_New(area.height);
  if (lines == nullptr || styles == nullptr) goto fail;
  for (int row = 0; row < area.height; ++row) {
    std::string text;
    PyObject* row_styles = PyList_New(area.width);
    if (row_styles == nullptr) goto fail;
    PyList_SET_ITEM(styles, row, row_styles);
    for (int col = 0; col < area.width; ++col) {
      const termui::Cell& cell = *buffer.cell_at(col, row);
      termui::append_utf8(cell.symbol, text);
      PyObject* name = PyUnicode_FromString(style_name(cell.style).c_str());
      if (name == nullptr) goto fail;
      PyList_SET_ITEM(row_styles, col, name);
    }
    PyObject* line = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (line == nullptr) goto fail;
    PyList_SET_ITEM(lines, row, line);
  }
  return Py_BuildValue("(NN)", lines, styles);
fail:
  Py_XDECREF(lines);
  Py_XDECREF(styles);
  return nullptr;
}

// Append `item` (a new reference, or null after a failure) to `list` and
// release it; false with an exception set.
bool append_new(PyObject* list, PyObject* item) {
  const bool ok = item != nullptr && PyList_Append(list, item) == 0;
  Py_XDECREF(item);
  return ok;
}

// Returns false with an exception set when (width, height) is not a screen size.
bool check_size(long width, long height) {
  if (width < 0 || height < 0 || width > 4000 || height > 4000) {
    PyErr_SetString(PyExc_ValueError, "screen size must be within 0..4000");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- state

struct CellRef {
  const char* name;
  tui::AtomicU64 tui::MetricsBuffer::*integer;
  tui::AtomicF64 tui::MetricsBuffer::*floating;
};

constexpr CellRef kCells[] = {
    {"steps", &tui::MetricsBuffer::steps, nullptr},
    {"episodes", &tui::MetricsBuffer::episodes, nullptr},
    {"mean_reward", nullptr, &tui::MetricsBuffer::mean_reward},
    {"sps", nullptr, &tui::MetricsBuffer::sps},
    {"policy_loss", nullptr, &tui::MetricsBuffer::policy_loss},
    {"value_loss", nullptr, &tui::MetricsBuffer::value_loss},
    {"entropy", nullptr, &tui::MetricsBuffer::entropy},
    {"cpu_usage", nullptr, &tui::MetricsBuffer::cpu_usage},
    {"gpu_usage", nullptr, &tui::MetricsBuffer::gpu_usage},
    {"memory_mb", &tui::MetricsBuffer::memory_mb, nullptr},
    {"gpu_memory_mb", &tui::MetricsBuffer::gpu_memory_mb, nullptr},
    {"total_memory_mb", &tui::MetricsBuffer::total_memory_mb, nullptr},
    {"total_gpu_memory_mb", &tui::MetricsBuffer::total_gpu_memory_mb, nullptr},
};

const CellRef* find_cell(const char* name) {
  for (const CellRef& cell : kCells) {
    if (std::strcmp(cell.name, name) == 0) return &cell;
  }
  return nullptr;
}

// Stores the dict's entries that name cells; returns -1 with an exception set.
// Keys in `skip` are left to the caller.
int store_cells(PyObject* dict, tui::MetricsBuffer& metrics, bool ignore_sample_keys) {
  PyObject *key, *value;
  Py_ssize_t pos = 0;
  while (PyDict_Next(dict, &pos, &key, &value)) {
    const char* name = PyUnicode_AsUTF8(key);
    if (name == nullptr) return -1;
    const CellRef* cell = find_cell(name);
    const bool sample_key = std::strcmp(name, "steps") == 0 || std::strcmp(name, "mean_reward") == 0 ||
                            std::strcmp(name, "sps") == 0 || std::strcmp(name, "policy_loss") == 0 ||
                            std::strcmp(name, "value_loss") == 0;
    if (ignore_sample_keys && sample_key) continue;
    if (cell == nullptr) {
      PyErr_Format(PyExc_KeyError, "no cell named %s", name);
      return -1;
    }
    if (cell->integer) {
      const unsigned long long v = PyLong_AsUnsignedLongLong(value);
      if (PyErr_Occurred()) return -1;
      (metrics.*(cell->integer)).store(v);
    } else {
      const double v = PyFloat_AsDouble(value);
      if (PyErr_Occurred()) return -1;
      (metrics.*(cell->floating)).store(v);
    }
  }
  return 0;
}

// Reads dict[name] as a double (default when absent); returns false with an exception set.
bool read_double(PyObject* dict, const char* name, double& out) {
  PyObject* value = PyDict_GetItemString(dict, name);
  if (value == nullptr) return true;
  out = PyFloat_AsDouble(value);
  return !PyErr_Occurred();
}

// Each sample dict: steps, mean_reward, sps, policy_loss, value_loss (the
// update() arguments, 0 when absent) and any cells to store before the push.
int push_samples(PyObject* samples, SharedState& state) {
  PyObject* iterator = PyObject_GetIter(samples);
  if (iterator == nullptr) return -1;
  int status = 0;
  while (PyObject* item = PyIter_Next(iterator)) {
    tui::HistorySample sample{0, 0.0, 0.0, 0.0, 0.0};
    PyObject* steps = PyDict_Check(item) ? PyDict_GetItemString(item, "steps") : nullptr;
    if (!PyDict_Check(item)) {
      PyErr_SetString(PyExc_TypeError, "history samples must be dicts");
    } else if (steps != nullptr && (sample.steps = PyLong_AsUnsignedLongLong(steps), PyErr_Occurred())) {
    } else if (read_double(item, "mean_reward", sample.mean_reward) && read_double(item, "sps", sample.sps) &&
               read_double(item, "policy_loss", sample.policy_loss) &&
               read_double(item, "value_loss", sample.value_loss) && store_cells(item, *state.metrics, true) == 0) {
      auto guard = state.history->lock();
      guard->push(sample, *state.metrics);
    }
    Py_DECREF(item);
    if (PyErr_Occurred()) {
      status = -1;
      break;
    }
  }
  Py_DECREF(iterator);
  return PyErr_Occurred() ? -1 : status;
}

// Marks the history lock broken the way a failing holder would: by leaving
// a held guard through an exception.
void break_history_lock(SharedState& state) {
  try {
    auto guard = state.history->lock();
    throw std::runtime_error("holder failed");
  } catch (const std::runtime_error&) {
  }
}

// Builds the state for a view from (cells, history, history_len, broken);
// returns false with an exception set.
bool build_state(SharedState& state, PyObject* cells, PyObject* history, int broken) {
  if (history != nullptr && history != Py_None && push_samples(history, state) < 0) return false;
  if (cells != nullptr && cells != Py_None) {
    if (!PyDict_Check(cells)) {
      PyErr_SetString(PyExc_TypeError, "cells must be a dict");
      return false;
    }
    if (store_cells(cells, *state.metrics, false) < 0) return false;
  }
  if (broken) break_history_lock(state);
  return true;
}

using ViewFn = void (*)(termui::Frame&, const SharedState&);

void view_stats(termui::Frame& f, const SharedState& s) { tui::render_stats(f, f.area(), s); }
void view_device_stats(termui::Frame& f, const SharedState& s) { tui::render_device_stats(f, f.area(), s); }
void view_chart_grid(termui::Frame& f, const SharedState& s) { tui::render_chart_grid(f, f.area(), s); }
void view_sparklines(termui::Frame& f, const SharedState& s) {
  tui::render_sparklines(f, f.area(), s, s.metrics->total_gpu_memory_mb.load() != 0);
}

ViewFn find_view(const char* name) {
  static constexpr struct {
    const char* name;
    ViewFn fn;
  } kViews[] = {
      {"minimal", tui::render_minimal},     {"dashboard", tui::render_dashboard},
      {"chart", tui::render_chart_dashboard}, {"stats", view_stats},
      {"device_stats", view_device_stats},  {"sparklines", view_sparklines},
      {"chart_grid", view_chart_grid},
  };
  for (const auto& view : kViews) {
    if (std::strcmp(view.name, name) == 0) return view.fn;
  }
  PyErr_Format(PyExc_ValueError, "no view named %s", name);
  return nullptr;
}

// render_view(name, width, height, cells=None, history=None, history_len=100, broken=False)
PyObject* render_view(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"name", "width", "height", "cells", "history", "history_len", "broken", nullptr};
  const char* name;
  long width, height;
  PyObject *cells = nullptr, *history = nullptr;
  unsigned long long history_len = 100;
  int broken = 0;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "sll|OOKp", const_cast<char**>(keywords), &name, &width, &height,
                                   &cells, &history, &history_len, &broken)) {
    return nullptr;
  }
  const ViewFn view = find_view(name);
  if (view == nullptr || !check_size(width, height)) return nullptr;
  SharedState state(tui::TUIMode::Minimal, history_len);
  if (!build_state(state, cells, history, broken)) return nullptr;
  Buffer buffer(Rect{0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)});
  termui::Frame frame(buffer);
  view(frame, state);
  return screen_result(buffer);
}

// ---------------------------------------------------------------- state checks

PyObject* ring_to_list(const tui::Ring<double>& ring) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(ring.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < ring.size(); ++i) PyList_SET_ITEM(list, i, PyFloat_FromDouble(ring[i]));
  return list;
}

// history_after(history_len, samples) -> dict of the nine histories.
PyObject* history_after(PyObject*, PyObject* args) {
  unsigned long long history_len;
  PyObject* samples;
  if (!PyArg_ParseTuple(args, "KO", &history_len, &samples)) return nullptr;
  SharedState state(tui::TUIMode::Minimal, history_len);
  if (push_samples(samples, state) < 0) return nullptr;
  const auto history = state.history->lock();
  PyObject* steps = PyList_New(static_cast<Py_ssize_t>(history->size()));
  if (steps == nullptr) return nullptr;
  for (size_t i = 0; i < history->size(); ++i) {
    PyList_SET_ITEM(steps, i, PyLong_FromUnsignedLongLong(history->steps_history[i]));
  }
  return Py_BuildValue("{sNsNsNsNsNsNsNsNsN}", "steps_history", steps, "reward_history",
                       ring_to_list(history->reward_history), "sps_history", ring_to_list(history->sps_history),
                       "policy_loss_history", ring_to_list(history->policy_loss_history), "value_loss_history",
                       ring_to_list(history->value_loss_history), "cpu_history", ring_to_list(history->cpu_history),
                       "gpu_history", ring_to_list(history->gpu_history), "memory_history",
                       ring_to_list(history->memory_history), "gpu_memory_history",
                       ring_to_list(history->gpu_memory_history));
}

// cells_after(cells) -> dict of all thirteen cells as read back.
PyObject* cells_after(PyObject*, PyObject* cells) {
  SharedState state(tui::TUIMode::Minimal, 1);
  if (!build_state(state, cells, nullptr, 0)) return nullptr;
  PyObject* pairs = PyList_New(0);
  for (const CellRef& cell : kCells) {
    if (pairs == nullptr) return nullptr;
    const tui::MetricsBuffer& metrics = *state.metrics;
    PyObject* pair = cell.integer ? Py_BuildValue("(sK)", cell.name, (metrics.*(cell.integer)).load())
                                  : Py_BuildValue("(sd)", cell.name, (metrics.*(cell.floating)).load());
    if (!append_new(pairs, pair)) Py_CLEAR(pairs);
  }
  if (pairs == nullptr) return nullptr;
  PyObject* result = PyDict_New();
  if (result != nullptr && PyDict_MergeFromSeq2(result, pairs, 1) < 0) Py_CLEAR(result);
  Py_DECREF(pairs);
  return result;
}

// lock_report() -> (broken before, busy while held, broken after a failing holder)
PyObject* lock_report(PyObject*, PyObject*) {
  SharedState state(tui::TUIMode::Minimal, 4);
  const bool broken_before = state.history->lock().broken();
  bool busy_while_held;
  {
    auto held = state.history->lock();
    busy_while_held = !state.history->try_lock().owns_lock();
  }
  break_history_lock(state);
  const bool broken_after = state.history->lock().broken();
  return Py_BuildValue("(OOO)", broken_before ? Py_True : Py_False, busy_while_held ? Py_True : Py_False,
                       broken_after ? Py_True : Py_False);
}

// next_mode(value) -> value after one step of the cycle.
PyObject* next_mode(PyObject*, PyObject* arg) {
  const long value = PyLong_AsLong(arg);
  if (PyErr_Occurred()) return nullptr;
  return PyLong_FromLong(static_cast<long>(tui::next_mode(static_cast<tui::TUIMode>(value))));
}

// ---------------------------------------------------------------- numbers and axes

PyObject* write_fixed(PyObject*, PyObject* args) {
  double value;
  int decimals;
  if (!PyArg_ParseTuple(args, "di", &value, &decimals)) return nullptr;
  char text[tui::kFixedBufferSize];
  const size_t length = tui::write_fixed(text, value, decimals);
  return PyUnicode_FromStringAndSize(text, static_cast<Py_ssize_t>(length));
}

PyObject* format_number(PyObject*, PyObject* arg) {
  const unsigned long long n = PyLong_AsUnsignedLongLong(arg);
  if (PyErr_Occurred()) return nullptr;
  return PyUnicode_FromString(tui::format_number(n).c_str());
}

PyObject* axis_to_dict(const termui::Axis& axis) {
  PyObject* labels = PyList_New(static_cast<Py_ssize_t>(axis.labels.size()));
  if (labels == nullptr) return nullptr;
  for (size_t i = 0; i < axis.labels.size(); ++i) {
    PyList_SET_ITEM(labels, i, PyUnicode_FromString(axis.labels[i].content.c_str()));
  }
  PyObject* title = axis.title ? PyUnicode_FromString(axis.title->content.c_str()) : Py_NewRef(Py_None);
  const std::string title_style = axis.title ? style_name(axis.title->style) : "";
  return Py_BuildValue("{sNsssssdsdsN}", "title", title, "title_style", title_style.c_str(), "style",
                       style_name(axis.style).c_str(), "lower", axis.lower, "upper", axis.upper, "labels", labels);
}

// create_axis("x", lo, hi) | create_axis("y", lo, hi, title) | create_axis("percent")
PyObject* create_axis(PyObject*, PyObject* args) {
  const char* kind;
  double lo = 0.0, hi = 0.0;
  const char* title = "";
  if (!PyArg_ParseTuple(args, "s|dds", &kind, &lo, &hi, &title)) return nullptr;
  if (std::strcmp(kind, "x") == 0) return axis_to_dict(tui::create_x_axis(lo, hi));
  if (std::strcmp(kind, "y") == 0) return axis_to_dict(tui::create_y_axis(title, lo, hi));
  return axis_to_dict(tui::create_percentage_y_axis());
}

// sparkline_data("reward" | "percent", samples) -> list of ints
PyObject* sparkline_data(PyObject*, PyObject* args) {
  const char* kind;
  PyObject* samples;
  if (!PyArg_ParseTuple(args, "sO", &kind, &samples)) return nullptr;
  PyObject* sequence = PySequence_Fast(samples, "samples must be a sequence");
  if (sequence == nullptr) return nullptr;
  const Py_ssize_t count = PySequence_Fast_GET_SIZE(sequence);
  tui::Ring<double> ring(static_cast<size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) ring.push_back(PyFloat_AsDouble(PySequence_Fast_GET_ITEM(sequence, i)));
  Py_DECREF(sequence);
  if (PyErr_Occurred()) return nullptr;
  const std::vector<uint64_t> data =
      std::strcmp(kind, "reward") == 0 ? tui::reward_sparkline_data(ring) : tui::percent_sparkline_data(ring);
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(data.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < data.size(); ++i) PyList_SET_ITEM(list, i, PyLong_FromUnsignedLongLong(data[i]));
  return list;
}

PyObject* entropy_gauge_percent(PyObject*, PyObject* arg) {
  const double entropy = PyFloat_AsDouble(arg);
  if (PyErr_Occurred()) return nullptr;
  return PyLong_FromLong(tui::entropy_gauge_percent(entropy));
}

// ---------------------------------------------------------------- toolkit

// split((x, y, w, h), "horizontal" | "vertical", [(kind, value), ...]) -> [(x, y, w, h), ...]
PyObject* split(PyObject*, PyObject* args) {
  int x, y, w, h;
  const char* direction;
  PyObject* items;
  if (!PyArg_ParseTuple(args, "(iiii)sO", &x, &y, &w, &h, &direction, &items)) return nullptr;
  if (x < 0 || y < 0 || w < 0 || h < 0 || x + w > 65535 || y + h > 65535) {
    PyErr_SetString(PyExc_ValueError, "area must lie within 0..65535");
    return nullptr;
  }
  std::vector<termui::Constraint> constraints;
  PyObject* sequence = PySequence_Fast(items, "constraints must be a sequence");
  if (sequence == nullptr) return nullptr;
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(sequence); ++i) {
    const char* kind;
    int value;
    if (!PyArg_ParseTuple(PySequence_Fast_GET_ITEM(sequence, i), "si", &kind, &value)) break;
    const auto n = static_cast<uint16_t>(value);
    constraints.push_back(kind[0] == 'l' ? termui::Length(n) : kind[0] == 'm' ? termui::Min(n) : termui::Percentage(n));
  }
  Py_DECREF(sequence);
  if (PyErr_Occurred()) return nullptr;
  std::vector<Rect> parts(constraints.size());
  const Rect area{static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint16_t>(w), static_cast<uint16_t>(h)};
  termui::split(area, direction[0] == 'h' ? termui::Direction::Horizontal : termui::Direction::Vertical, constraints,
                parts);
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(parts.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < parts.size(); ++i) {
    PyList_SET_ITEM(list, i, Py_BuildValue("(iiii)", parts[i].x, parts[i].y, parts[i].width, parts[i].height));
  }
  return list;
}

bool parse_area(PyObject* tuple, Rect& area) {
  int x, y, w, h;
  if (!PyArg_ParseTuple(tuple, "iiii", &x, &y, &w, &h)) return false;
  if (x < 0 || y < 0 || w < 0 || h < 0 || x + w > 65535 || y + h > 65535) {
    PyErr_SetString(PyExc_ValueError, "area must lie within 0..65535");
    return false;
  }
  area = Rect{static_cast<uint16_t>(x), static_cast<uint16_t>(y), static_cast<uint16_t>(w), static_cast<uint16_t>(h)};
  return true;
}

// spec[name] as a list of doubles (empty when absent); false with an exception set.
bool doubles_item(PyObject* spec, const char* name, std::vector<double>& out) {
  PyObject* items = PyDict_GetItemString(spec, name);
  if (items == nullptr) return true;
  PyObject* sequence = PySequence_Fast(items, "expected a sequence");
  if (sequence == nullptr) return false;
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(sequence); ++i) {
    out.push_back(PyFloat_AsDouble(PySequence_Fast_GET_ITEM(sequence, i)));
  }
  Py_DECREF(sequence);
  return !PyErr_Occurred();
}

std::vector<termui::Span> spans_item(PyObject* spec, const char* name) {
  std::vector<termui::Span> spans;
  PyObject* items = PyDict_GetItemString(spec, name);
  for (Py_ssize_t i = 0; items != nullptr && i < PyList_Size(items); ++i) {
    const char* text = PyUnicode_AsUTF8(PyList_GetItem(items, i));
    if (text == nullptr) break;
    spans.push_back(termui::Span::raw(text));
  }
  return spans;
}

const char* string_item(PyObject* spec, const char* name, const char* fallback) {
  PyObject* item = PyDict_GetItemString(spec, name);
  return item == nullptr ? fallback : PyUnicode_AsUTF8(item);
}

void draw_sparkline(PyObject* spec, Rect area, Buffer& buffer) {
  std::vector<double> values;
  if (!doubles_item(spec, "data", values)) return;
  std::vector<uint64_t> data(values.begin(), values.end());
  PyObject* max = PyDict_GetItemString(spec, "max");
  const termui::Sparkline sparkline{data, max ? PyLong_AsUnsignedLongLong(max) : 100,
                                    Style::foreground(Color::Yellow), termui::Block::bordered(" S ")};
  if (!PyErr_Occurred()) sparkline.render(area, buffer);
}

void draw_gauge(PyObject* spec, Rect area, Buffer& buffer) {
  PyObject* percent = PyDict_GetItemString(spec, "percent");
  termui::Gauge gauge;
  gauge.percent = static_cast<uint16_t>(percent ? PyLong_AsLong(percent) : 0);
  const char* label = string_item(spec, "label", "");
  if (label == nullptr) return;
  gauge.label = label;
  gauge.gauge_style = Style::foreground(Color::Green);
  gauge.block = termui::Block::bordered(" G ");
  if (!PyErr_Occurred()) gauge.render(area, buffer);
}

void draw_paragraph(PyObject* spec, Rect area, Buffer& buffer) {
  termui::Paragraph paragraph;
  for (termui::Span& span : spans_item(spec, "lines")) paragraph.lines.emplace_back(std::move(span.content));
  const char* title = string_item(spec, "title", nullptr);
  if (title != nullptr) paragraph.block = termui::Block::bordered(title);
  if (!PyErr_Occurred()) paragraph.render(area, buffer);
}

// datasets: [(name, [x0, y0, x1, y1, ...]), ...] drawn Yellow, Red, Blue, ...
void draw_chart(PyObject* spec, Rect area, Buffer& buffer) {
  static constexpr Color kColors[] = {Color::Yellow, Color::Red, Color::Blue, Color::Green};
  PyObject* items = PyDict_GetItemString(spec, "datasets");
  std::vector<std::vector<termui::Point>> points;
  std::vector<termui::Dataset> datasets;
  const bool scatter = PyDict_GetItemString(spec, "scatter") == Py_True;
  for (Py_ssize_t i = 0; items != nullptr && i < PyList_Size(items); ++i) {
    const char* name;
    PyObject* flat;
    if (!PyArg_ParseTuple(PyList_GetItem(items, i), "sO", &name, &flat)) return;
    std::vector<double> values;
    PyObject* wrapper = Py_BuildValue("{sO}", "v", flat);
    const bool ok = wrapper != nullptr && doubles_item(wrapper, "v", values);
    Py_XDECREF(wrapper);
    if (!ok) return;
    auto& series = points.emplace_back();
    for (size_t k = 0; k + 1 < values.size(); k += 2) series.push_back({values[k], values[k + 1]});
    datasets.push_back({name, {}, scatter ? termui::GraphType::Scatter : termui::GraphType::Line,
                        Style::foreground(kColors[i % 4])});
  }
  for (size_t i = 0; i < datasets.size(); ++i) datasets[i].points = points[i];
  std::vector<double> x_bounds, y_bounds;
  if (!doubles_item(spec, "x_bounds", x_bounds) || !doubles_item(spec, "y_bounds", y_bounds)) return;
  if (x_bounds.size() != 2 || y_bounds.size() != 2) {
    PyErr_SetString(PyExc_ValueError, "x_bounds and y_bounds need two values each");
    return;
  }
  termui::Chart chart;
  chart.datasets = datasets;
  chart.block = termui::Block::bordered(" C ");
  chart.x_axis = termui::Axis{std::nullopt, Style::foreground(Color::DarkGray), x_bounds[0], x_bounds[1],
                              spans_item(spec, "x_labels")};
  chart.y_axis = termui::Axis{std::nullopt, Style::foreground(Color::DarkGray), y_bounds[0], y_bounds[1],
                              spans_item(spec, "y_labels")};
  if (const char* title = string_item(spec, "y_title", nullptr)) chart.y_axis.title = termui::Span::raw(title);
  if (!PyErr_Occurred()) chart.render(area, buffer);
}

// render_widget(kind, (W, H), (x, y, w, h), spec) -> (lines, styles): the
// widget, in a box, drawn into the given area of a W x H screen.
PyObject* render_widget(PyObject*, PyObject* args) {
  static constexpr struct {
    const char* kind;
    void (*draw)(PyObject*, Rect, Buffer&);
  } kWidgets[] = {{"sparkline", draw_sparkline}, {"gauge", draw_gauge}, {"paragraph", draw_paragraph},
                  {"chart", draw_chart}};
  const char* kind;
  long width, height;
  PyObject *area_tuple, *spec;
  if (!PyArg_ParseTuple(args, "s(ll)OO!", &kind, &width, &height, &area_tuple, &PyDict_Type, &spec)) return nullptr;
  Rect area;
  if (!check_size(width, height) || !parse_area(area_tuple, area)) return nullptr;
  Buffer buffer(Rect{0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)});
  for (const auto& widget : kWidgets) {
    if (std::strcmp(widget.kind, kind) != 0) continue;
    widget.draw(spec, area, buffer);
    if (PyErr_Occurred()) return nullptr;
    return screen_result(buffer);
  }
  PyErr_Format(PyExc_ValueError, "no widget named %s", kind);
  return nullptr;
}

// ---------------------------------------------------------------- terminal

// Everything written to `fd` since `offset`, as bytes.
PyObject* read_back(int fd, off_t& offset) {
  const off_t end = ::lseek(fd, 0, SEEK_END);
  std::string bytes(static_cast<size_t>(end - offset), '\0');
  if (::pread(fd, bytes.data(), bytes.size(), offset) != static_cast<ssize_t>(bytes.size())) {
    return PyErr_SetFromErrno(PyExc_OSError);
  }
  offset = end;
  return PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
}

// terminal_output(width, height, frames) -> [bytes per draw..., bytes at destruction]
// frames: [(view name, cells, history), ...], each drawn in turn through one
// Terminal writing to an in-memory file. width 0 uses the fd's own size
// (which falls back to 80 x 24, as the file is no terminal).
PyObject* terminal_output(PyObject*, PyObject* args) {
  long width, height;
  PyObject* frames;
  if (!PyArg_ParseTuple(args, "llO!", &width, &height, &PyList_Type, &frames) || !check_size(width, height)) {
    return nullptr;
  }
  const int fd = ::memfd_create("terminal", 0);
  if (fd < 0) return PyErr_SetFromErrno(PyExc_OSError);
  PyObject* outputs = PyList_New(0);
  off_t offset = 0;
  {
    std::optional<termui::Terminal> terminal;
    if (width == 0) terminal.emplace(fd);
    else terminal.emplace(fd, static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    for (Py_ssize_t i = 0; outputs != nullptr && i < PyList_Size(frames); ++i) {
      const char* name;
      PyObject *cells, *history;
      if (!PyArg_ParseTuple(PyList_GetItem(frames, i), "sOO", &name, &cells, &history)) break;
      const ViewFn view = find_view(name);
      SharedState state(tui::TUIMode::Minimal, 100);
      if (view == nullptr || !build_state(state, cells, history, 0)) break;
      if (const std::error_code error = terminal->draw([&](termui::Frame& frame) { view(frame, state); })) {
        PyErr_SetString(PyExc_OSError, error.message().c_str());
        break;
      }
      if (!append_new(outputs, read_back(fd, offset))) break;
    }
  }
  const bool ok = outputs != nullptr && !PyErr_Occurred() && append_new(outputs, read_back(fd, offset));
  ::close(fd);
  if (!ok) Py_CLEAR(outputs);
  return outputs;
}

// terminal_write_error() -> error text of a draw to a closed descriptor.
PyObject* terminal_write_error(PyObject*, PyObject*) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) < 0) return PyErr_SetFromErrno(PyExc_OSError);
  ::close(pipe_fds[0]);
  std::error_code error;
  {
    termui::Terminal terminal(pipe_fds[1], 10, 3);
    error = terminal.draw([](termui::Frame& frame) { frame.buffer().set_string(0, 0, "x", Style{}, 1); });
  }
  ::close(pipe_fds[1]);
  return Py_BuildValue("(is)", error.value(), error.message().c_str());
}

// ---------------------------------------------------------------- benchmark

double thread_cpu_seconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void push_bench_sample(SharedState& state, uint64_t i) {
  const double t = static_cast<double>(i);
  state.metrics->cpu_usage.store(50.0 + 40.0 * std::sin(t * 0.05));
  state.metrics->memory_mb.store(8000 + i % 4000);
  state.history->lock()->push(
      tui::HistorySample{i * 2048, 100.0 * std::sin(t * 0.01), 50000.0, 0.1 / (1.0 + t), 0.5 / (1.0 + t)},
      *state.metrics);
}

// bench_render(view, width, height, samples, iterations, gpu) -> dict:
// thread CPU seconds per redraw with nothing changed and with a new sample
// before each redraw (the render thread's whole cost: view, diff, write to
// /dev/null), and the bytes written by the first, an unchanged and a changed redraw.
PyObject* bench_render(PyObject*, PyObject* args) {
  const char* name;
  long width, height;
  unsigned long long samples, iterations;
  int gpu;
  if (!PyArg_ParseTuple(args, "sllKKp", &name, &width, &height, &samples, &iterations, &gpu)) return nullptr;
  const ViewFn view = find_view(name);
  if (view == nullptr || !check_size(width, height) || iterations == 0) return nullptr;
  const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return PyErr_SetFromErrno(PyExc_OSError);
  SharedState state(tui::TUIMode::Chart, samples);
  state.metrics->total_memory_mb.store(16384);
  if (gpu) state.metrics->total_gpu_memory_mb.store(8192);
  for (uint64_t i = 0; i < samples; ++i) push_bench_sample(state, i);

  termui::Terminal terminal(fd, static_cast<uint16_t>(width), static_cast<uint16_t>(height));
  const auto draw = [&] { return terminal.draw([&](termui::Frame& frame) { view(frame, state); }); };
  draw();
  const size_t first_bytes = terminal.last_write_size();
  double start = thread_cpu_seconds();
  for (uint64_t i = 0; i < iterations; ++i) draw();
  const double unchanged = (thread_cpu_seconds() - start) / static_cast<double>(iterations);
  const size_t unchanged_bytes = terminal.last_write_size();
  size_t changed_bytes = 0;
  start = thread_cpu_seconds();
  for (uint64_t i = 0; i < iterations; ++i) {
    push_bench_sample(state, samples + i);
    draw();
    changed_bytes += terminal.last_write_size();
  }
  const double changed = (thread_cpu_seconds() - start) / static_cast<double>(iterations);
  ::close(fd);
  return Py_BuildValue("{sdsdsnsnsn}", "cpu_unchanged", unchanged, "cpu_changed", changed, "bytes_first",
                       static_cast<Py_ssize_t>(first_bytes), "bytes_unchanged",
                       static_cast<Py_ssize_t>(unchanged_bytes), "bytes_changed",
                       static_cast<Py_ssize_t>(changed_bytes / iterations));
}

PyMethodDef kViewMethods[] = {
    {"render_view", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(render_view)),
     METH_VARARGS | METH_KEYWORDS, "Render a view into an off-screen screen: (lines, styles)."},
    {"history_after", history_after, METH_VARARGS, "The nine histories after pushing samples."},
    {"cells_after", cells_after, METH_O, "All thirteen cells after storing a dict of values."},
    {"lock_report", lock_report, METH_NOARGS, "How the history lock reports busy and broken."},
    {"next_mode", next_mode, METH_O, "One step of the display-mode cycle."},
    {"write_fixed", write_fixed, METH_VARARGS, "Fixed-point text of a double."},
    {"format_number", format_number, METH_O, "Decimal with thousands commas."},
    {"create_axis", create_axis, METH_VARARGS, "An axis of the chart view as a dict."},
    {"sparkline_data", sparkline_data, METH_VARARGS, "The dashboard's sparkline data for samples."},
    {"entropy_gauge_percent", entropy_gauge_percent, METH_O, "The entropy gauge's fill percent."},
    {"split", split, METH_VARARGS, "The layout splitter."},
    {"render_widget", render_widget, METH_VARARGS, "Render one toolkit widget: (lines, styles)."},
    {"terminal_output", terminal_output, METH_VARARGS, "Bytes a Terminal writes for a series of frames."},
    {"terminal_write_error", terminal_write_error, METH_NOARGS, "The error a failed draw returns."},
    {"bench_render", bench_render, METH_VARARGS, "Redraw cost of a view."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_view_functions(PyObject* module) { return PyModule_AddFunctions(module, kViewMethods); }

}  // namespace zimbrel::testkit
