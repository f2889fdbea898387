// Test access to the monitor's readers of /proc and to the key decoder, on
// input the tests choose.
#include <string_view>

#include "python/py_ref.hpp"
#include "python/tui/cpu_usage.hpp"
#include "python/tui/memory_info.hpp"
#include "termui/key_event.hpp"
#include "testkit.hpp"

namespace zimbrel::testkit {
namespace {

using py::Ref;

// Returns false with ValueError set when `line` is not an aggregate cpu line.
bool parse_cpu(PyObject* line, tui::CpuTimes* out) {
  const char* text = PyUnicode_AsUTF8(line);
  if (text == nullptr) return false;
  if (!tui::parse_cpu_line(text, out)) {
    PyErr_Format(PyExc_ValueError, "not an aggregate cpu line: %R", line);
    return false;
  }
  return true;
}

PyObject* cpu_usage_between(PyObject*, PyObject* args) {
  PyObject *previous_line, *current_line;
  if (!PyArg_ParseTuple(args, "UU:cpu_usage_between", &previous_line, &current_line)) return nullptr;
  tui::CpuTimes previous, current;
  if (!parse_cpu(previous_line, &previous) || !parse_cpu(current_line, &current)) return nullptr;
  return PyFloat_FromDouble(tui::cpu_usage_between(previous, current));
}

PyObject* parse_meminfo(PyObject*, PyObject* arg) {
  Py_ssize_t length = 0;
  const char* text = PyUnicode_AsUTF8AndSize(arg, &length);
  if (text == nullptr) return nullptr;
  const tui::MemoryInfo info = tui::parse_meminfo(std::string_view(text, static_cast<size_t>(length)));
  return Py_BuildValue("(KK)", static_cast<unsigned long long>(info.total_bytes),
                       static_cast<unsigned long long>(info.available_bytes));
}

const char* key_code_name(termui::KeyCode code) {
  static constexpr const char* kNames[] = {"Char", "Enter", "Tab",  "BackTab", "Backspace", "Esc",
                                           "Up",   "Down",  "Left", "Right",   "Home",      "End",
                                           "PageUp", "PageDown", "Insert", "Delete", "Function"};
  return kNames[static_cast<int>(code)];
}

// A key as (code name, character or F-number, modifier bits); None for other events.
PyObject* event_tuple(const termui::Event& event) {
  if (event.kind != termui::Event::Kind::Key) Py_RETURN_NONE;
  const termui::KeyEvent& key = event.key;
  if (key.code == termui::KeyCode::Char) {
    Ref ch = Ref::steal(PyUnicode_FromOrdinal(static_cast<int>(key.ch)));
    if (!ch) return nullptr;
    return Py_BuildValue("(sOi)", key_code_name(key.code), ch.get(), key.modifiers);
  }
  return Py_BuildValue("(sIi)", key_code_name(key.code), static_cast<unsigned>(key.ch), key.modifiers);
}

// Every event in `data`, decoded as a read that has nothing more to come.
PyObject* decode_events(PyObject*, PyObject* arg) {
  char* data = nullptr;
  Py_ssize_t length = 0;
  if (PyBytes_AsStringAndSize(arg, &data, &length) < 0) return nullptr;
  Ref events = Ref::steal(PyList_New(0));
  if (!events) return nullptr;
  std::string_view input(data, static_cast<size_t>(length));
  while (!input.empty()) {
    termui::Event event;
    input.remove_prefix(termui::decode_event(input, false, &event));
    Ref item = Ref::steal(event_tuple(event));
    if (!item || PyList_Append(events.get(), item.get()) < 0) return nullptr;
  }
  return events.release();
}

// Whether the bytes so far hold a complete first event, while more may follow.
PyObject* first_event_complete(PyObject*, PyObject* arg) {
  char* data = nullptr;
  Py_ssize_t length = 0;
  if (PyBytes_AsStringAndSize(arg, &data, &length) < 0) return nullptr;
  termui::Event event;
  return PyBool_FromLong(termui::decode_event(std::string_view(data, static_cast<size_t>(length)), true, &event) > 0);
}

PyMethodDef functions[] = {
    {"cpu_usage_between", cpu_usage_between, METH_VARARGS,
     "cpu_usage_between(previous_line, current_line)\n--\n\nCPU usage in percent between two /proc/stat cpu lines."},
    {"parse_meminfo", parse_meminfo, METH_O,
     "parse_meminfo(text)\n--\n\n(total_bytes, available_bytes) from the text of /proc/meminfo."},
    {"decode_events", decode_events, METH_O,
     "decode_events(data)\n--\n\nThe input events in `data`: (code, char or number, modifiers) or None."},
    {"first_event_complete", first_event_complete, METH_O,
     "first_event_complete(data)\n--\n\nWhether `data` starts with a whole event when more bytes may follow."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_monitor_functions(PyObject* module) { return PyModule_AddFunctions(module, functions); }

}  // namespace zimbrel::testkit
