// Crop presets: named rules for the crop rectangle, either a fixed aspect
// ratio (a print size such as 4 x 6 inches, or a bare ratio such as 4:3) or a
// fixed size in pixels, and the one list of them, theCropPresets.
//
// A rule's text is "kind;width;height;name;units" with two decimals and "."
// in every locale; the name carries no white space, ";" or "|" ("_", ",", ":"
// stand in for them). Presets are compared by that text only, so
// Format (Parse (t)) equals every text Format wrote. The list text is the
// rule texts, each followed by "|".
//
// Everything here runs on the user-interface thread.
#pragma once

#include "Profile.h"

#include <QString>

#include <functional>
#include <vector>

struct CropRule {
    enum Kind { kFixedAspect = 0, kFixedSize = 1 };
    enum Units { kNone = 0, kCentimeters = 1, kInches = 2 };

    int kind = -1;
    QString name; // with blanks, as shown in lists
    double width = 0;
    double height = 0;
    int units = kNone; // the unit the values were entered in; the editor's only

    // Reads the five fields from a rule text; a field whose token does not
    // read keeps its value. Numbers that are not finite or lie outside
    // +-65,500 do not read.
    void Parse(const QString& text);
    QString Format() const;
    // Kind 0 or 1 with both sides above 0 as Format writes them (0.004 is
    // written as 0.00) and within the readable range.
    bool IsUsable() const;

    // Adjusts the rectangle (x, y, width, height) to the rule. turned uses
    // the rule with its sides exchanged; heightLeads fits the width to the
    // height rather than the larger of both candidates. Unless the
    // application's crop operation allows an outward selection, a fitted
    // side is held inside maxWidth or maxHeight by moving or cutting it.
    // A fixed-aspect rule without two sides above 0 changes nothing.
    void FitSelection(int* width, int* height, int heightLeads, int turned, int* x, int* y, int maxWidth,
                      int maxHeight) const;
};

// Answers AllowOutwardSel of the application's crop operation; installed by
// the application. Without one an outward selection is not allowed.
void SetCropAllowOutwardHook(std::function<int()> hook);

class CCropPresets {
public:
    // The preset editor: works on the copy it is given and answers 1 for OK,
    // 0 for Cancel. Installed by the dialogs.
    using Editor = std::function<int(std::vector<CropRule>& rules)>;

    CCropPresets();
    virtual ~CCropPresets() = default;

    QString ToString() const;
    // Replaces the list. A piece without its closing "|" is dropped, an empty
    // piece ends the list, and a piece that is not a usable rule is skipped.
    void FromString(const QString& text);
    // The rule text of preset `index` (from 1); empty when out of range.
    QString GetPresetText(int index) const;
    // The index (from 1) of the first preset whose text equals `text`; 0 when none.
    int FindPreset(const QString& text) const;
    // Appends the rule that `text` reads as, unless the text is empty, the
    // rule is not usable or the list holds it already.
    void AddUnique(const QString& text);
    // Runs the preset editor on a copy of this list with what other copies
    // changed in the profile's file folded in. OK: the copy is written at
    // once (SaveToProfile), the list becomes the one stored, and `current`
    // becomes empty when its preset is gone. The accepted flag says which;
    // without an editor nothing changes and the flag is 0.
    void EditPresets(QString& current);
    // The list in the profile (section "Crop", value "Presets") as its file
    // holds it now; the built-in presets when the profile has none.
    void LoadFromProfile();
    // Writes the list as it stands, with what another running copy changed
    // in the file's list since the last load or save folded in, and holds
    // the result.
    void SaveToProfile();

    int GetAccepted() const { return m_bAccepted; }
    void SetAccepted(int accepted) { m_bAccepted = accepted; }

    const std::vector<CropRule>& GetRules() const { return m_rules; }
    std::vector<CropRule>& Rules() { return m_rules; }

    static void SetEditor(Editor editor);

private:
    // This list with what other copies changed in the profile's file since
    // the last load or save folded in; its own changes are still to be saved.
    void RefreshFromProfile();

    std::vector<CropRule> m_rules;
    int m_bAccepted = 0;
    QString m_strStored; // list text as last loaded or saved
    CProfileList m_stored;
};

extern CCropPresets theCropPresets;

// The list text of the twenty built-in presets.
QString GetDefaultCropPresetsText();
