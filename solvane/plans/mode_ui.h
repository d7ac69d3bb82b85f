// What mode switching shows on screen. The plan code decides what to show; the application
// implements this interface with its windows and registers it at start-up. Without one nothing
// is shown: boxes answer 0, no notification opens, no plan change is announced.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace plans {

class ModeUi {
public:
    virtual ~ModeUi() = default;
    // The hidden main window (owner of the mode warnings); null before it exists.
    virtual HWND MainWindow() noexcept = 0;
    // Where plan changes are announced: the panel when it exists, else the main window.
    virtual HWND PlanChangeTarget() noexcept = 0;
    // The program title: caption of every box and named in some texts.
    virtual const wchar_t* ProgramTitle() noexcept = 0;
    // A message box with the program title as caption; MessageBoxW's result.
    virtual int ShowMessage(HWND owner, const wchar_t* text, UINT style) noexcept = 0;
    // Shows a task dialog after filling in the program's module and title; its HRESULT.
    virtual HRESULT ShowTaskDialog(TASKDIALOGCONFIG* config) noexcept = 0;
};

// Registers the interface (null: none). The object must outlive every mode switch.
void SetModeUi(ModeUi* ui) noexcept;
// The registered interface, or one that shows nothing.
ModeUi& CurrentModeUi() noexcept;

}  // namespace plans
