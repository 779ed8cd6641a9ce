// Validates a CycloneDX 1.6 JSON bill of materials offline: against the
// published JSON schema (shipped in @cyclonedx/cyclonedx-library, strict mode:
// no properties the schema does not know), and every licence expression
// against the SPDX licence and exception lists; then the fields BSI TR-03183-2
// v2.1 and the NTIA minimum elements ask for (trCheck). Exit 0 when all hold.
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
      const text = licence.expression || licence.license.id || licence.license.name;
      try { parseSpdx(text); } catch (e) {
        throw new Error(`${component.name}: "${text}" is not an SPDX expression (${e.message})`);
      }
      if (licence.license && licence.license.name && !licence.license.text)
        throw new Error(`${component.name}: ${licence.license.name} carries no licence text`);
    }
  }
  trCheck(bom);
}

// The properties of BSI's taxonomy, each with the values it allows; no other property is accepted.
const PROPERTIES = {
  'bsi:component:filename': null,
  'bsi:component:executable': ['executable', 'non-executable'],
  'bsi:component:archive': ['archive', 'no archive'],
  'bsi:component:structured': ['structured', 'unstructured'],
};

function trCheck(bom) {
  const fail = (what) => { throw new Error(`TR-03183-2: ${what}`); };
  const reachable = (entity) => entity && entity.name
    && ((entity.url || []).length > 0 || (entity.contact || []).some((c) => c.email) || entity.email);
  if (!reachable(bom.metadata.manufacturer)) fail('the SBOM creator has no name with a URL or e-mail');
  if (!bom.metadata.timestamp) fail('no creation time');
  const product = bom.metadata.component;
  if (!product.purl && !product.cpe) fail('the product has no purl or CPE');
  if (!(product.licenses || []).some((l) => /LicenseRef-/.test(l.expression || ''))) fail('the product has no LicenseRef- licence');
  const purls = new Set();
  for (const c of [product, ...bom.components]) {
    const name = c['bom-ref'];
    if (!reachable(c.manufacturer)) fail(`${name}: no component creator with a URL or e-mail`);
    if (!c.name || !c.version) fail(`${name}: no name or version`);
    if (!(c.licenses || []).length) fail(`${name}: no licence`);
    for (const alg of ['SHA-256', 'SHA-512'])
      if (!(c.hashes || []).some((h) => h.alg === alg)) fail(`${name}: no ${alg}`);
    const props = new Map();
    for (const p of c.properties || []) {
      if (!(p.name in PROPERTIES)) fail(`${name}: unknown property ${p.name}`);
      const allowed = PROPERTIES[p.name];
      if (allowed && !allowed.includes(p.value)) fail(`${name}: ${p.name} is "${p.value}", not one of ${allowed}`);
      props.set(p.name, p.value);
    }
    for (const p of Object.keys(PROPERTIES)) if (!props.get(p)) fail(`${name}: no ${p}`);
    if (c !== product) {
      if (!c.purl) fail(`${name}: no purl`);
      if (purls.has(c.purl)) fail(`${name}: purl ${c.purl} is not unique`);
      purls.add(c.purl);
    }
  }
  const complete = (bom.compositions || []).find((k) => k.aggregate === 'complete');
  if (!complete || !(complete.assemblies || []).includes(product['bom-ref'])) fail('no composition says the list is complete');
  const deps = (bom.dependencies || []).find((d) => d.ref === product['bom-ref']);
  const refs = bom.components.map((c) => c['bom-ref']);
  if (!deps || refs.some((r) => !deps.dependsOn.includes(r))) fail('the product does not depend on every component');
}

main(process.argv[2]).then(
  () => console.log(`validate-sbom: ${process.argv[2]} is valid CycloneDX 1.6`),
  (e) => { console.error(`validate-sbom: ${e.message}`); process.exit(1); });
