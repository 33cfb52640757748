// The shown drive's fields: the icon location and name combo boxes, the
// type text and the icon preview. They hold texts, not drives: which drive
// they show is the editor's to know.
#pragma once

#include "drives/drive_answers.h"
#include "drives/drive_record.h"

#include <windows.h>

namespace kelvarin {

class EditFields {
  public:
    explicit EditFields(HWND dialog) : dialog_(dialog) {}
    ~EditFields();
    EditFields(const EditFields&) = delete;
    EditFields& operator=(const EditFields&) = delete;

    // The record's location, name and type, and its icon in the preview.
    void show(const DriveRecord& record);
    // The type and, under the name, whether the name is shown instead of
    // the volume's label.
    void showType(const DriveRecord& record);
    // Under the type: whether Explorer will find the icon's file later.
    void showNote(const char* note);
    // A control's text, cut to the buffer on a character boundary.
    void read(int controlId, char* buffer, int capacity) const;
    bool shows(int controlId, const char* text) const;
    // The combo box's selected item, empty when none.
    void selection(int comboId, char (&text)[260]) const;
    // Selects text in the combo box, adding it when it is not there yet:
    // -1 when it was there, else the new item's index (0 when adding failed).
    int selectOrAddComboText(const char* text, int comboId);

    // The preview shows an icon it owns or borrows (a record's); each new
    // preview asked for gets a ticket, and only the newest one's answer is
    // shown.
    void setPreview(HICON icon, bool owned);
    HICON previewIcon() const { return previewIcon_; }
    bool previewOwned() const { return previewOwned_; }
    unsigned nextTicket() { return ++previewTicket_; }
    unsigned ticket() const { return previewTicket_; }
    void paintPreview(HDC deviceContext) const;
    void setIconSize(int size) { iconSize_ = size; }

    // The preview at Explorer's sizes (owned), each marked where the file
    // has no frame of its own (bit 0 for the first); null icons empty it.
    void setSizes(HICON (&icons)[kExplorerSizeCount], unsigned ownFrames);
    void drawSizes(const DRAWITEMSTRUCT& item) const;

  private:
    HWND dialog_;
    HICON previewIcon_ = nullptr;
    bool previewOwned_ = false;
    unsigned previewTicket_ = 0;
    int iconSize_ = 32;
    HICON sizes_[kExplorerSizeCount] = {};
    unsigned ownFrames_ = 0;
};

} // namespace kelvarin
