// The languages of the label resource, in column order: the column list of
// its header names each language, each record holds one element per
// language named by its letter.
#pragma once

struct DbLabelLanguage {
  char cLetter;
  const char* szName;
};

inline constexpr DbLabelLanguage s_adblabellanguage[] = {
    {'c', "en_usa"}, {'d', "ar_arb"}, {'e', "ch_chn"}, {'f', "ch_twn"}, {'g', "cs_cze"}, {'h', "de_deu"},
    {'i', "el_grc"}, {'j', "es_esp"}, {'k', "fr_fra"}, {'l', "hu_hun"}, {'m', "it_ita"}, {'n', "jp_jpn"},
    {'o', "ko_kor"}, {'p', "nl_nld"}, {'q', "pl_pol"}, {'r', "pt_bra"}, {'s', "ro_rom"}, {'t', "ru_rus"},
    {'u', "tr_tur"},
};
inline constexpr int s_iDbLabelLanguages = static_cast<int>(sizeof s_adblabellanguage / sizeof s_adblabellanguage[0]);

// The language's index in the table, or -1.
int DbLabelLanguageIndex(const char* a_szName);
