// The dialog layer every dialog of the program uses: where a dialog keeps its
// state, the one OK/Cancel handling of the modal dialogs, and the control
// helpers.
//
// A modal dialog is opened by a function of its bare name (Copy, Split,
// TestDAT, ...) that fills a context object and runs the dialog over it with
// RunDialog; the procedure is a ModalDialog over that context. A modeless
// dialog (a report window) is a ModelessDialog that owns its state from
// WM_INITDIALOG to WM_NCDESTROY. Either way the state sits in the dialog's
// DWLP_USER slot.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "winui/window_thunk.h"

// The state in the dialog's slot, or null before WM_INITDIALOG.
template <class State>
State* DialogState(HWND dialog) {
  return reinterpret_cast<State*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// A modal dialog's context: the RunDialog value arrives at WM_INITDIALOG and
// stays with the dialog for its lifetime; the caller owns it.
template <class Context>
Context* DialogContext(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  return DialogState<Context>(dialog);
}

// Runs the dialog template over parent with the context; its EndDialog
// result, 0 when the dialog could not be shown.
int RunDialog(HWND parent, int templateId, DLGPROC procedure, void* context);

// What a modal dialog does: fill its controls at WM_INITDIALOG, act on OK
// (ending the dialog when it is done), and optionally handle its other
// commands (true when handled). Cancel ends the dialog with 0.
template <class Context>
struct ModalDialog {
  void (*init)(HWND dialog, Context& context);
  void (*ok)(HWND dialog, Context& context);
  bool (*command)(HWND dialog, Context& context, int id, int notification) = nullptr;

  INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return RunDialogProcedure([&]() -> INT_PTR {
      Context* context = DialogContext<Context>(dialog, message, lParam);
      if (context == nullptr) return FALSE;
      if (message == WM_INITDIALOG) {
        init(dialog, *context);
        return TRUE;
      }
      if (message != WM_COMMAND) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          ok(dialog, *context);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return command != nullptr && command(dialog, *context, LOWORD(wParam), HIWORD(wParam)) ? TRUE
                                                                                                 : FALSE;
      }
    });
  }
};

// What a modeless dialog does: it adopts the state CreateModelessDialog gave
// it at WM_INITDIALOG and then runs opened; its commands go to command, and
// Cancel and WM_CLOSE destroy it; after WM_NCDESTROY the state is freed and
// closed runs.
template <class State>
struct ModelessDialog {
  void (*opened)(HWND dialog, State& state);
  void (*command)(HWND dialog, State& state, int id, int notification, LPARAM lParam);
  void (*closed)();

  INT_PTR Handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return RunDialogProcedure([&]() -> INT_PTR {
      if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<std::unique_ptr<State>*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state->release()));
      }
      State* state = DialogState<State>(dialog);
      if (state == nullptr) return FALSE;
      switch (message) {
        case WM_INITDIALOG:
          opened(dialog, *state);
          return TRUE;
        case WM_COMMAND:
          if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(dialog);
          } else {
            command(dialog, *state, LOWORD(wParam), HIWORD(wParam), lParam);
          }
          return TRUE;
        case WM_CLOSE:
          DestroyWindow(dialog);
          return TRUE;
        case WM_NCDESTROY:
          SetWindowLongPtrA(dialog, DWLP_USER, 0);
          delete state;
          closed();
          return FALSE;
        default:
          return FALSE;
      }
    });
  }
};

// Creates a modeless dialog from its template over parent, owning state
// from then on; the dialog (not shown unless its template says so), or null.
HWND CreateModelessDialog(HWND parent, int templateId, DLGPROC procedure, void* state);
template <class State>
HWND CreateModelessDialog(HWND parent, int templateId, DLGPROC procedure, std::unique_ptr<State> state) {
  return CreateModelessDialog(parent, templateId, procedure, &state);
}

// A control's whole text, whatever its length.
std::string ControlText(HWND dialog, int control);
// Limits what can be typed into an edit control.
void LimitText(HWND dialog, int control, int characters);
// 1 when the check box or radio button is checked.
int IsChecked(HWND dialog, int control);
// Fills a combo box with the run's directory history (PathList), in order.
void AddPathHistory(HWND combo);

// A list box line with its item data; the new line's index, or -1.
int AddListItem(HWND list, const std::string& text, LPARAM data);
// The item data of the selected line of a single-selection list box, or
// nothing when no line is selected.
std::optional<LPARAM> SelectedItemData(HWND list);
// Selects the first line (when there is one).
void SelectFirstItem(HWND list);

// Empties a list box with its redrawing suspended; the list is redrawn when
// the guard ends, after the caller has filled it again.
class ListRefill {
 public:
  explicit ListRefill(HWND list);
  ~ListRefill();
  ListRefill(const ListRefill&) = delete;
  ListRefill& operator=(const ListRefill&) = delete;

 private:
  HWND list_;
};
