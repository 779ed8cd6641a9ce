// Validates a CycloneDX 1.6 JSON bill of materials offline: against the
// published JSON schema (shipped in @cyclonedx/cyclonedx-library, strict mode:
// no properties the schema does not know), and every licence expression
// against the SPDX licence and exception lists. Exit 0 when both hold.
//   node validate.js SBOM.json
'use strict';
const fs = require('fs');
const { Validation } = require('@cyclonedx/cyclonedx-library');
const parseSpdx = require('spdx-expression-parse');

async function main(file) {
  const text = fs.readFileSync(file, 'utf8');
  const bom = JSON.parse(text);
  if (bom.specVersion !== '1.6') throw new Error(`specVersion is ${bom.specVersion}, not 1.6`);
  // The library's version enumeration holds the plain version strings.
  const errors = await new Validation.JsonStrictValidator('1.6').validate(text);
  if (errors) throw new Error('schema: ' + JSON.stringify(errors, null, 2));
  for (const component of [bom.metadata.component, ...(bom.components || [])]) {
    for (const licence of component.licenses || []) {
      if (licence.expression) {
        try { parseSpdx(licence.expression); } catch (e) {
          throw new Error(`${component.name}: "${licence.expression}" is not an SPDX expression (${e.message})`);
        }
      }
    }
  }
}

main(process.argv[2]).then(
  () => console.log(`validate-sbom: ${process.argv[2]} is valid CycloneDX 1.6`),
  (e) => { console.error(`validate-sbom: ${e.message}`); process.exit(1); });
