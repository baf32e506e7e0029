#pragma once

#include "protocol/DescriptionWords.h"
#include "protocol/ProtocolDescription.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Builds a Description from its statements, one line at a time, stopping at the first mistake.
// The statements about frames and messages are in DescriptionBuilder.cpp, those about fields in
// DescriptionFields.cpp, and the checks made once all lines are read in DescriptionFinish.cpp.
class DescriptionBuilder
{
public:
    explicit DescriptionBuilder(std::string_view name);

    // Takes the statement on line number; false when it is wrong (see problem()).
    bool Line(std::string_view line, int number);
    // After the last line, which is lines: false when something is missing or does not fit.
    bool Finish(int lines);

    Description& description() { return m_d; }
    const std::string& problem() const { return m_problem; }
    int problemLine() const { return m_problemLine; }

private:
    using Words = std::span<const std::string_view>;

    bool Refuse(std::string why, int line = 0);
    bool Statement(std::string_view line, Words words);
    bool FrameStatement(std::string_view line, Words words);
    bool Mark(Words words);
    bool Bytes(Words words, bool start);
    bool Escape(Words words);
    bool Number(Words words, int& into, int low, int high);
    bool Data(Words words);
    bool Check(Words words);
    bool Sequence(Words words);
    bool Message(Words words);

    // DescriptionFields.cpp
    bool Field(Words words);
    bool Bits(Words words);
    bool FieldOptions(FieldSpec& fieldDef, Words words);
    bool ValueNameLine(std::string_view line, Words words);
    bool Group(Words words);
    bool If(Words words);
    bool Close(Words words);
    int AddField(FieldSpec fieldDef);
    int FieldNamed(std::string_view name, bool numeric);
    bool ReadCondition(Words words, Condition& condition, int message);
    bool ReadCountWord(std::string_view word, Count& count);
    std::vector<Item>& Items();

    // DescriptionFinish.cpp
    bool FinishLayout(int lines);
    bool FinishSummaries();
    bool FinishRestarts();
    bool ReadSummary(const std::string& text, int message,
                     std::vector<MessageSpec::SummaryPart>& parts);
    void MeasureMessage(MessageSpec& message) const;
    void AssignSlots();

    Description m_d;
    int m_message = -1; // the message being described; -1 while the frame is
    struct Open {
        Item* item;
        int line;
    };
    std::vector<Open> m_open; // groups and ifs not yet ended
    int m_lastField = -1;     // the field that "bits" and value names follow
    int m_lastNamed = -1;
    int m_markLine = 0;
    int m_escapeLine = 0;
    int m_dataLine = 0;
    int m_checkLine = 0;
    int m_line = 0;
    std::string m_problem;
    int m_problemLine = 0;

    struct Later {
        int line;
        std::string text;
        int message;
    };
    std::vector<Later> m_summaries;
    std::vector<Later> m_restarts; // "MESSAGE [if CONDITION]"
};
