// Certificate requests, first steps: the REQUEST_INFO record, its fields by
// attribute type number, and the collection of subject values.
#include <openssl/crypto.h>

#include <array>
#include <cstring>

#include "libtessel/internal/record.h"
#include "libtessel/internal/request.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

using R = REQUEST_INFO;

// Record order; type n is the attribute 2.5.4.n.
constexpr std::array<RequestField, 54> kFields = {{
    {3, "commonName", &R::commonName, 0},
    {4, "surname", &R::surname, 0},
    {5, "serialNumber", &R::serialNumber, 0},
    {6, "countryName", &R::countryName, 2},
    {7, "localityName", &R::localityName, 0},
    {8, "stateOrProvinceName", &R::stateOrProvinceName, 0},
    {9, "streetAddress", &R::streetAddress, 0},
    {10, "organizationName", &R::organizationName, 0},
    {11, "organizationalUnitName", &R::organizationalUnitName, 0},
    {12, "title", &R::title, 0},
    {13, "description", &R::description, 0},
    {14, "searchGuide", &R::searchGuide, 0},
    {15, "businessCategory", &R::businessCategory, 0},
    {16, "postalAddress", &R::postalAddress, 0},
    {17, "postalCode", &R::postalCode, 0},
    {18, "postOfficeBox", &R::postOfficeBox, 0},
    {19, "physicalDeliveryOfficeName", &R::physicalDeliveryOfficeName, 0},
    {20, "telephoneNumber", &R::telephoneNumber, 0},
    {21, "telexNumber", &R::telexNumber, 0},
    {22, "teletexTerminalIdentifier", &R::teletexTerminalIdentifier, 0},
    {23, "facsimileTelephoneNumber", &R::facsimileTelephoneNumber, 0},
    {24, "x121Address", &R::x121Address, 0},
    {25, "internationaliSDNNumber", &R::internationaliSDNNumber, 0},
    {26, "registeredAddress", &R::registeredAddress, 0},
    {27, "destinationIndicator", &R::destinationIndicator, 0},
    {28, "preferredDeliveryMethod", &R::preferredDeliveryMethod, 0},
    {29, "presentationAddress", &R::presentationAddress, 0},
    {30, "supportedApplicationContext", &R::supportedApplicationContext, 0},
    {33, "roleOccupant", &R::roleOccupant, 0},
    {35, "userPassword", &R::userPassword, 0},
    {36, "userCertificate", &R::userCertificate, 0},
    {37, "cACertificate", &R::cACertificate, 0},
    {38, "authorityRevocationList", &R::authorityRevocationList, 0},
    {39, "certificateRevocationList", &R::certificateRevocationList, 0},
    {40, "crossCertificatePair", &R::crossCertificatePair, 0},
    {41, "name", &R::name, 0},
    {42, "givenName", &R::givenName, 0},
    {43, "initials", &R::initials, 0},
    {44, "generationQualifier", &R::generationQualifier, 0},
    {45, "x500UniqueIdentifier", &R::x500UniqueIdentifier, 0},
    {46, "dnQualifier", &R::dnQualifier, 0},
    {47, "enhancedSearchGuide", &R::enhancedSearchGuide, 0},
    {48, "protocolInformation", &R::protocolInformation, 0},
    {49, "distinguishedName", &R::distinguishedName, 0},
    {50, "uniqueMember", &R::uniqueMember, 0},
    {51, "houseIdentifier", &R::houseIdentifier, 0},
    {52, "supportedAlgorithms", &R::supportedAlgorithms, 0},
    {53, "deltaRevocationList", &R::deltaRevocationList, 0},
    {65, "pseudonym", &R::pseudonym, 0},
    {72, "role", &R::role, 0},
    {97, "organizationIdentifier", &R::organizationIdentifier, 0},
    {98, "countryCode3c", &R::countryCode3c, 3},
    {99, "countryCode3n", &R::countryCode3n, 3},
    {100, "dnsName", &R::dnsName, 0},
}};

// Every field of the record is in the table exactly once.
static_assert(sizeof(REQUEST_INFO) == kFields.size() * sizeof(char*));

const RequestField* field_of(uint32_t type) {
  for (const RequestField& f : kFields)
    if (f.type == type) return &f;
  return nullptr;
}

// A failed step ends the collection: the values gathered so far go with it.
CRYPTOCASE* fail_info(CRYPTOCASE* rec, int32_t status) {
  release_request_info(rec);
  rec->status = status;
  return rec;
}

}  // namespace

std::span<const RequestField> request_fields() {
  return kFields;
}

void release_request_value(char*& value) {
  // Values are stored up to their first zero byte: strlen covers them.
  if (value != nullptr) OPENSSL_clear_free(value, std::strlen(value) + 1);
  value = nullptr;
}

void free_request_info(REQUEST_INFO* info) {
  if (info == nullptr) return;
  for (const RequestField& f : kFields) release_request_value(info->*f.field);
  OPENSSL_free(info);
}

void release_request_info(CRYPTOCASE* rec) {
  free_request_info(rec->request_info);
  rec->request_info = nullptr;
}

}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* REQUEST_INFO_Init(void) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->request_info = static_cast<REQUEST_INFO*>(OPENSSL_zalloc(sizeof(REQUEST_INFO)));
  rec->status = rec->request_info != nullptr ? TESSEL_OK : TESSEL_REQ_INFO_ALLOC_FAILED;
  return rec;
}

TESSEL_API CRYPTOCASE* REQUEST_INFO_AddValue(CRYPTOCASE* record, uint32_t type,
                                             const unsigned char* value, int32_t length) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  // Never allocated, consumed by GenRequest or ended by a failed step.
  if (record->request_info == nullptr) {
    record->status = TESSEL_REQ_INFO_ALLOC_FAILED;
    return record;
  }
  if (length < 0 || (value == nullptr && length > 0))
    return tessel::fail_info(record, TESSEL_BAD_LENGTH);
  const tessel::RequestField* f = tessel::field_of(type);
  if (f != nullptr && f->fixed_length != 0 && length != f->fixed_length)
    return tessel::fail_info(record, TESSEL_REQ_VALUE_LENGTH);
  if (f == nullptr) return tessel::fail_info(record, TESSEL_UNKNOWN_VALUE_TYPE);

  // The subject takes the value as zero-terminated text: anything after a
  // zero byte would never reach it.
  const auto* end = length > 0 ? static_cast<const unsigned char*>(
                                     std::memchr(value, 0, static_cast<std::size_t>(length)))
                               : nullptr;
  const std::size_t n =
      end != nullptr ? static_cast<std::size_t>(end - value) : static_cast<std::size_t>(length);
  auto* copy = static_cast<char*>(OPENSSL_zalloc(n + 1));
  if (copy == nullptr) return tessel::fail_info(record, TESSEL_REQ_VALUE_ALLOC_FAILED);
  if (n > 0) std::memcpy(copy, value, n);
  char*& slot = record->request_info->*f->field;
  tessel::release_request_value(slot);
  slot = copy;
  record->status = TESSEL_OK;
  return record;
}

}  // extern "C"
