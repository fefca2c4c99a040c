#include "db/quorvex_config.h"

#include <gtest/gtest.h>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/environment.h"

namespace corvalen {
namespace {

std::u16string Fixture(const std::string& name) {
  return Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/config/" + name);
}

NumberedError LoadError(const std::u16string& path) {
  try {
    QuorvexConfig::Load(path);
  } catch (const NumberedError& e) {
    return e;
  }
  ADD_FAILURE() << "loading " << Utf16ToUtf8(path) << " should fail";
  return NumberedError(0, u"");
}

TEST(QuorvexConfigTest, ReadsSectionsWithoutRegardToCaseAndKeepsValuesAsWritten) {
  QuorvexConfig config = QuorvexConfig::Load(Fixture("good.ini"));
  const EntitySection* catalogos = config.Find(u"catalogos");
  ASSERT_NE(catalogos, nullptr);
  EXPECT_EQ(catalogos->name, u"CATALOGOS");
  EXPECT_EQ(*catalogos->Get(kKeyTag), u"SQLSERVER");
  // A line of more than 200 bytes, with ';' inside, arrives whole
  // and with its variable not yet replaced.
  const std::u16string* connection = catalogos->Get(kKeyConnection);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->size(), 231u);
  EXPECT_NE(connection->find(u"PWD=${CORVALEN_TEST_SECRET};Encrypt=yes"), std::u16string::npos);
  EXPECT_TRUE(connection->ends_with(u";MultiSubnetFailover=no"));
  // The repeated section "[ catalogos ]" adds its key to the first one.
  EXPECT_EQ(*catalogos->Get(kKeyBusyTimeout), u"1");

  const EntitySection* ncm = config.Find(u"NCM");
  ASSERT_NE(ncm, nullptr);
  EXPECT_EQ(*ncm->Get(kKeyProvider), u"SQLite");  // keys in any case
  EXPECT_EQ(*ncm->Get(kKeyConnection), u"data/ncm.db");
  EXPECT_EQ(ncm->Get(kKeyTag), nullptr);

  EXPECT_EQ(*config.Find(u"HISTORIAL")->Get(kKeyTag), u"ACCESS");
  EXPECT_EQ(config.Find(u"PERSONAL"), nullptr);
  EXPECT_EQ(config.Find(u"CATALOGO"), nullptr);
  EXPECT_EQ(config.Find(u""), nullptr);
}

TEST(QuorvexConfigTest, EachBadLineIsReportedWithItsNumber) {
  struct Case {
    const char* file;
    std::u16string tail;  // after the path
  };
  const Case cases[] = {
      {"bad_no_separator.ini", u"line 4"},
      {"bad_section.ini", u"line 2"},
      {"bad_outside_section.ini", u"line 2: la clave \"Connection\" está fuera de una sección [Entidad]."},
      {"bad_unknown_key.ini", u"line 3: clave desconocida \"Conection\"."},
      {"bad_repeated_key.ini", u"line 8: la clave Connection ya figura en la sección [NCM]."},
      {"bad_reference.ini", u"line 2: referencia a variable mal formada; se escribe ${NOMBRE}."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::u16string path = Fixture(c.file);
    NumberedError error = LoadError(path);
    EXPECT_EQ(error.number(), kErrInvalidArgument);
    std::u16string expected;
    if (c.tail.find(u':') == std::u16string::npos) {
      expected = u"Línea " + c.tail.substr(5) + u" mal formada en el archivo de configuración \"" +
                 path + u"\".";
    } else {
      size_t colon = c.tail.find(u':');
      expected = u"Error en la línea " + c.tail.substr(5, colon - 5) +
                 u" del archivo de configuración \"" + path + u"\"" + c.tail.substr(colon);
    }
    EXPECT_EQ(Utf16ToUtf8(error.description()), Utf16ToUtf8(expected));
  }
}

TEST(QuorvexConfigTest, MissingAndUnreadableFilesHaveTheirOwnMessages) {
  const std::u16string missing = Fixture("no-such-file.ini");
  NumberedError error = LoadError(missing);
  EXPECT_EQ(error.number(), kErrFileNotFound);
  EXPECT_EQ(error.description(),
            u"No se encontró el archivo de configuración \"" + missing + u"\".");

  const std::u16string folder = Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/config");
  error = LoadError(folder);
  EXPECT_EQ(error.number(), kErrPathFileAccess);
  EXPECT_EQ(error.description(),
            u"No se pudo leer el archivo de configuración \"" + folder + u"\".");

  EXPECT_EQ(LoadError(u"").description(), u"No se indicó la ruta del archivo de configuración.");
}

TEST(QuorvexConfigTest, ParsesWindowsLineEndingsAByteOrderMarkAndRejectsNul) {
  QuorvexConfig config = QuorvexConfig::Parse(
      "\xEF\xBB\xBF[NCM]\r\nProvider = sqlite\r\nConnection = C:\\datos\\ncm.db \r\n", u"x.ini");
  ASSERT_NE(config.Find(u"ncm"), nullptr);
  EXPECT_EQ(*config.Find(u"ncm")->Get(kKeyConnection), u"C:\\datos\\ncm.db");

  try {
    QuorvexConfig::Parse(std::string("[NCM]\nConnection=a\n\0Tag=b\n", 24), u"x.ini");
    FAIL() << "a NUL byte is no part of a configuration";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.description(),
              u"Error en la línea 3 del archivo de configuración \"x.ini\": contiene un carácter nulo.");
  }
}

TEST(QuorvexConfigTest, ValuesMayBeOfAnyLengthAndALaterBadLineKeepsItsNumber) {
  const std::string value(2 << 20, 'x');
  QuorvexConfig config =
      QuorvexConfig::Parse("[NCM]\nTag=t\nConnection=" + value + "\nProvider=odbc\n", u"x.ini");
  ASSERT_NE(config.Find(u"NCM"), nullptr);
  EXPECT_EQ(config.Find(u"NCM")->Get(kKeyConnection)->size(), value.size());
  EXPECT_EQ(*config.Find(u"NCM")->Get(kKeyProvider), u"odbc");
  try {
    QuorvexConfig::Parse("[NCM]\r\nTag=t\r\nConnection=" + value + "\r\nProvider=odbc\r\nmal\r\n",
                         u"x.ini");
    FAIL() << "line 5 is malformed";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.description(), u"Línea 5 mal formada en el archivo de configuración \"x.ini\".");
  }
}

TEST(QuorvexConfigTest, ReadsIndentedLinesColonsAndLongSectionNames) {
  const std::string long_name(300, 'E');
  QuorvexConfig config = QuorvexConfig::Parse(
      "  # comment\n[NCM] after the bracket\n\t Tag : a=b;c \f\n[" + long_name + "]\nTag=x", u"x.ini");
  EXPECT_EQ(*config.Find(u"NCM")->Get(kKeyTag), u"a=b;c");
  ASSERT_NE(config.Find(Utf8ToUtf16(long_name)), nullptr);
  EXPECT_EQ(config.Find(Utf8ToUtf16(long_name.substr(1))), nullptr);
}

TEST(QuorvexConfigTest, SectionNamesMatchLettersOfEitherCase) {
  QuorvexConfig config = QuorvexConfig::Parse("[ÉTÉ]\nTag=b\n[Año]\nTag=c\n", u"x.ini");
  EXPECT_EQ(*config.Find(u"été")->Get(kKeyTag), u"b");
  EXPECT_EQ(*config.Find(u"AÑO")->Get(kKeyTag), u"c");
  EXPECT_EQ(config.Find(u"ET"), nullptr);
}

TEST(QuorvexConfigTest, ExpandsVariablesAndNamesOnlyTheMissingOne) {
  testing::SetVariable("CORVALEN_TEST_SECRET", "p@ss;w0rd");
  testing::SetVariable("CORVALEN_TEST_EMPTY", "");
  testing::UnsetVariable("CORVALEN_TEST_UNDEFINED");
  std::vector<PutVariable> put;
  EXPECT_EQ(ExpandVariables(u"PWD={${CORVALEN_TEST_SECRET}};x=${CORVALEN_TEST_EMPTY};cost=$5",
                            u"Connection", u"NCM", &put),
            u"PWD={p@ss;w0rd};x=;cost=$5");
  ASSERT_EQ(put.size(), 2u);  // where each value went
  EXPECT_EQ(put[0].begin, 5u);
  EXPECT_EQ(put[0].value, u"p@ss;w0rd");
  EXPECT_EQ(put[1].begin, 18u);
  EXPECT_EQ(put[1].value, u"");

  try {
    ExpandVariables(u"${CORVALEN_TEST_SECRET}-${CORVALEN_TEST_UNDEFINED}", u"Tag", u"NCM", nullptr);
    FAIL() << "an undefined variable must fail";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.description(),
              u"La variable de entorno \"CORVALEN_TEST_UNDEFINED\" no está definida "
              u"(clave Tag de la entidad \"NCM\").");
  }
  testing::UnsetVariable("CORVALEN_TEST_SECRET");
  testing::UnsetVariable("CORVALEN_TEST_EMPTY");
}

}  // namespace
}  // namespace corvalen
