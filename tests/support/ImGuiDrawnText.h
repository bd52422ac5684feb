// Reads back what a Dear ImGui frame drew: the text of a window, line by line, from the glyph quads of its
// draw list, and whether a checkbox shows its tick. This sees what the panel shows, not what the code meant.
#pragma once

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

// One line of drawn text: its pieces ("runs") in reading order, split where the gap between two glyphs is
// wider than one space (a value centred in a slider, then its label), single spaces restored within a run.
struct DrawnLine {
    float y = 0; // the top of the line's text
    std::vector<std::string> runs;
    std::vector<float> runX; // where each run starts
};

// The lines drawn by the window named `window` in the frame's draw data, from the top (its title first).
inline std::vector<DrawnLine> drawnText(const ImDrawData* data, const char* window) {
    const ImFont* font = ImGui::GetFont();
    std::map<std::pair<float, float>, const ImFontGlyph*> glyphsByCorner;
    for (const ImFontGlyph& glyph : font->Glyphs)
        if (glyph.Visible)
            glyphsByCorner[{glyph.U0, glyph.V0}] = &glyph;

    struct Placed {
        float x, y, advance;
        char character;
    };
    std::vector<Placed> placed;
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        if (!list->_OwnerName || std::string(list->_OwnerName) != window)
            continue;
        const ImVector<ImDrawVert>& vertices = list->VtxBuffer;
        // A glyph is four vertices in a row: its top-left corner first, its bottom-right corner third.
        for (int v = 0; v + 3 < vertices.Size; ++v) {
            auto found = glyphsByCorner.find({vertices[v].uv.x, vertices[v].uv.y});
            if (found == glyphsByCorner.end())
                continue;
            const ImFontGlyph& glyph = *found->second;
            if (vertices[v + 2].uv.x != glyph.U1 || vertices[v + 2].uv.y != glyph.V1)
                continue;
            placed.push_back({vertices[v].pos.x - glyph.X0, vertices[v].pos.y - glyph.Y0, glyph.AdvanceX,
                              static_cast<char>(glyph.Codepoint)});
            v += 3;
        }
    }
    std::sort(placed.begin(), placed.end(),
              [](const Placed& a, const Placed& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });

    const float space = font->FindGlyph(' ')->AdvanceX;
    std::vector<DrawnLine> lines;
    for (size_t i = 0; i < placed.size(); ++i) {
        const Placed& glyph = placed[i];
        bool newLine = lines.empty() || glyph.y != lines.back().y;
        if (newLine)
            lines.push_back({glyph.y, {}, {}});
        DrawnLine& line = lines.back();
        float gap = newLine ? 0.0f : glyph.x - (placed[i - 1].x + placed[i - 1].advance);
        if (newLine || gap > 1.5f * space) {
            line.runs.emplace_back();
            line.runX.push_back(glyph.x);
        } else if (gap > 0.5f * space) {
            line.runs.back() += ' ';
        }
        line.runs.back() += glyph.character;
    }
    return lines;
}

// A line's runs joined by " | ": easy to compare and to read in a failure.
inline std::string lineText(const DrawnLine& line) {
    std::string text;
    for (const std::string& run : line.runs)
        text += (text.empty() ? "" : " | ") + run;
    return text;
}

// The text of every line, one line per entry.
inline std::vector<std::string> drawnLines(const ImDrawData* data, const char* window) {
    std::vector<std::string> texts;
    for (const DrawnLine& line : drawnText(data, window))
        texts.push_back(lineText(line));
    return texts;
}

// Where a widget's label was drawn: the line and the start of the run, or y < 0 when not drawn.
struct LabelPlace {
    float x = -1, y = -1;
};

inline LabelPlace labelPlace(const ImDrawData* data, const char* window, const std::string& label) {
    for (const DrawnLine& line : drawnText(data, window))
        for (size_t r = 0; r < line.runs.size(); ++r)
            if (line.runs[r] == label)
                return {line.runX[r], line.y};
    return {};
}

// The point a fraction t along a float slider's travel, on the line of its label; of one component of a
// three-float slider when component >= 0. The window's first checkbox gives where its widgets start.
inline ImVec2 sliderPoint(const ImDrawData* data, const char* window, const std::string& label,
                          const std::string& firstCheckbox, float t, int component = -1) {
    const ImGuiStyle& style = ImGui::GetStyle();
    LabelPlace box = labelPlace(data, window, firstCheckbox);
    LabelPlace place = labelPlace(data, window, label);
    float left = box.x - ImGui::GetFrameHeight() - style.ItemInnerSpacing.x;
    float width = place.x - style.ItemInnerSpacing.x - left;
    if (component >= 0) {
        float one = std::floor((width - 2 * style.ItemInnerSpacing.x) / 3);
        left += component * (one + style.ItemInnerSpacing.x);
        width = one;
    }
    // The grab's centre travels from half a grab past the frame's padding (2) to as far before its end.
    float travel = style.GrabMinSize + 2 * 2.0f;
    return ImVec2(left + travel / 2 + t * (width - travel), place.y + ImGui::GetFontSize() / 2);
}

// Whether the checkbox left of this label shows its tick (drawn in the style's check-mark colour).
inline bool checkboxTicked(const ImDrawData* data, const char* window, const std::string& label) {
    LabelPlace place = labelPlace(data, window, label);
    const ImU32 tick = ImGui::GetColorU32(ImGuiCol_CheckMark);
    const float size = ImGui::GetFrameHeight();
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        if (!list->_OwnerName || std::string(list->_OwnerName) != window)
            continue;
        for (const ImDrawVert& vertex : list->VtxBuffer)
            if (vertex.col == tick && vertex.pos.x < place.x && vertex.pos.x > place.x - 2 * size &&
                std::fabs(vertex.pos.y - (place.y + ImGui::GetFontSize() / 2)) < size / 2)
                return true;
    }
    return false;
}

// Whether a separator (a line in the style's separator colour) was drawn between two lines of a window's
// text, each given as drawnLines shows it.
inline bool separatorBetween(const ImDrawData* data, const char* window, const std::string& above,
                             const std::string& below) {
    float aboveBottom = -1, belowTop = -1;
    for (const DrawnLine& line : drawnText(data, window)) {
        if (lineText(line) == above)
            aboveBottom = line.y + ImGui::GetFontSize();
        if (lineText(line) == below)
            belowTop = line.y - ImGui::GetStyle().FramePadding.y; // a widget's frame starts above its text
    }
    if (aboveBottom < 0 || belowTop < aboveBottom)
        return false;
    const ImU32 separator = ImGui::GetColorU32(ImGuiCol_Separator);
    for (int l = 0; l < data->CmdListsCount; ++l) {
        const ImDrawList* list = data->CmdLists[l];
        if (!list->_OwnerName || std::string(list->_OwnerName) != window)
            continue;
        for (const ImDrawVert& vertex : list->VtxBuffer)
            if (vertex.col == separator && vertex.pos.y > aboveBottom && vertex.pos.y < belowTop)
                return true;
    }
    return false;
}
