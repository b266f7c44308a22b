<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="fr_FR">
<context>
    <name>ActionCatalog</name>
    <message>
        <source>Sans groupe</source>
        <translation>Ungrouped</translation>
    </message>
</context>
<context>
    <name>ActionLinker</name>
    <message>
        <source>Cliquez une action puis appuyez sur un bouton.</source>
        <translation>Click an action, then press a button.</translation>
    </message>
    <message>
        <source>Actions disponibles</source>
        <translation>Available actions</translation>
    </message>
    <message>
        <source>Sans groupe</source>
        <translation>Ungrouped</translation>
    </message>
    <message>
        <source>ID: %1</source>
        <translation>ID: %1</translation>
    </message>
    <message>
        <source>Aucune action</source>
        <translation>No action</translation>
    </message>
    <message>
        <source>Appuyez sur un bouton pour mapper &quot;%1&quot;.</source>
        <translation>Press a button to map &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>ActionParameterPopup</name>
    <message>
        <source>Paramètres de l&apos;action</source>
        <translation>Action parameters</translation>
    </message>
</context>
<context>
    <name>ActionToolBox</name>
    <message>
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Action de l&apos;hôte</source>
        <translation>Host action</translation>
    </message>
    <message>
        <source>Editer les parametres</source>
        <translation>Edit parameters</translation>
    </message>
    <message>
        <source>Action absente du catalogue de l&apos;hôte : %1</source>
        <translation>Action not in the host&apos;s catalog: %1</translation>
    </message>
    <message>
        <source>&lt;par défaut&gt;</source>
        <translation>&lt;default&gt;</translation>
    </message>
    <message>
        <source>Paramètre %1</source>
        <translation>Parameter %1</translation>
    </message>
    <message>
        <source>Type : %1</source>
        <translation>Type: %1</translation>
    </message>
    <message>
        <source>Aucune action</source>
        <translation>No action</translation>
    </message>
    <message>
        <source>Choisissez d&apos;abord une action.</source>
        <translation>Choose an action first.</translation>
    </message>
    <message>
        <source>Cette action n&apos;a pas de paramètre.</source>
        <translation>This action has no parameters.</translation>
    </message>
    <message>
        <source>Attendu : true ou false (ou 1, 0).</source>
        <translation>Expected: true or false (or 1, 0).</translation>
    </message>
    <message>
        <source>Attendu : un nombre entier.</source>
        <translation>Expected: a whole number.</translation>
    </message>
    <message>
        <source>Attendu : un nombre (point décimal).</source>
        <translation>Expected: a number (decimal point).</translation>
    </message>
    <message>
        <source>Un champ vide prend la valeur par défaut.
La valeur d&apos;un stick s&apos;écrit arg_0 (arg_1 pour l&apos;axe Y d&apos;un stick double).</source>
        <translation>An empty field takes the default value.
A stick&apos;s value is written arg_0 (arg_1 for the Y axis of a two-axis stick).</translation>
    </message>
</context>
<context>
    <name>CalibrationUi</name>
    <message>
        <source>absent de cette manette</source>
        <translation>not on this controller</translation>
    </message>
</context>
<context>
    <name>DeviceItemDelegate</name>
    <message>
        <source>&lt;Sans nom&gt;</source>
        <translation>&lt;Unnamed&gt;</translation>
    </message>
    <message>
        <source>No controls</source>
        <translation>No controls</translation>
    </message>
    <message>
        <source>Désélectionner</source>
        <translation>Deselect</translation>
    </message>
    <message>
        <source>Sélectionner</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>Configurer</source>
        <translation>Configure</translation>
    </message>
    <message>
        <source>Supprimer</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Interface: connecté</source>
        <translation>Interface: connected</translation>
    </message>
    <message>
        <source>Interface: connexion en cours</source>
        <translation>Interface: connecting</translation>
    </message>
    <message>
        <source>Interface: déconnecté</source>
        <translation>Interface: disconnected</translation>
    </message>
</context>
<context>
    <name>ExchangeDocument</name>
    <message>
        <source>Configuration Tavon (*.tavon.json)</source>
        <translation>Tavon configuration (*.tavon.json)</translation>
    </message>
    <message>
        <source>Configuration Tavon (*.tavon.json);;JSON (*.json)</source>
        <translation>Tavon configuration (*.tavon.json);;JSON (*.json)</translation>
    </message>
    <message>
        <source>Données presse‑papier invalides (%1)</source>
        <translation>Invalid clipboard data (%1)</translation>
    </message>
    <message>
        <source>Type inattendu dans le presse‑papier.</source>
        <translation>Unexpected type on the clipboard.</translation>
    </message>
    <message>
        <source>Impossible d’ouvrir %1</source>
        <translation>Cannot open %1</translation>
    </message>
    <message>
        <source>JSON invalide dans %1 (%2)</source>
        <translation>Invalid JSON in %1 (%2)</translation>
    </message>
    <message>
        <source>Gamepad importé</source>
        <translation>Imported gamepad</translation>
    </message>
    <message>
        <source>Échec écriture image : %1</source>
        <translation>Writing the picture failed: %1</translation>
    </message>
    <message>
        <source>Échec écriture overlay.json : %1</source>
        <translation>Writing overlay.json failed: %1</translation>
    </message>
    <message>
        <source>Échec écriture meta.json : %1</source>
        <translation>Writing meta.json failed: %1</translation>
    </message>
    <message>
        <source>Echec ecriture mapping : %1</source>
        <translation>Writing the mapping failed: %1</translation>
    </message>
</context>
<context>
    <name>GamepadAxisCalibrationWidget</name>
    <message>
        <source>Afficher ou masquer les reglages de cet axe.</source>
        <translation>Show or hide this axis&apos;s settings.</translation>
    </message>
    <message>
        <source>Apercu live de l&apos;entree brute, du repos et de la zone morte.</source>
        <translation>Live preview of the raw input, the rest point and the dead zone.</translation>
    </message>
    <message>
        <source>Traitement</source>
        <translation>Processing</translation>
    </message>
    <message>
        <source>Stick</source>
        <translation>Stick</translation>
    </message>
    <message>
        <source>Trigger</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>Stick: axe centre avec une valeur negative et positive.
Trigger: axe a un seul sens depuis le repos.</source>
        <translation>Stick: centred axis with negative and positive values.
Trigger: axis moving one way from its rest point.</translation>
    </message>
    <message>
        <source>Lineaire</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Soft</source>
        <translation>Soft</translation>
    </message>
    <message>
        <source>Agressive</source>
        <translation>Aggressive</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>Gamma</translation>
    </message>
    <message>
        <source>Courbe appliquee apres normalisation.</source>
        <translation>Curve applied after normalisation.</translation>
    </message>
    <message>
        <source>Zone ignoree autour du repos pour eviter le bruit.</source>
        <translation>Zone ignored around the rest point to keep noise out.</translation>
    </message>
    <message>
        <source>Puissance de la courbe custom.</source>
        <translation>Exponent of the custom curve.</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Courbe</source>
        <translation>Curve</translation>
    </message>
    <message>
        <source>Deadzone</source>
        <translation>Dead zone</translation>
    </message>
    <message>
        <source>Points bruts</source>
        <translation>Raw points</translation>
    </message>
    <message>
        <source>Repos</source>
        <translation>Rest</translation>
    </message>
    <message>
        <source>Valeur brute quand l&apos;axe est au neutre.</source>
        <translation>Raw value with the axis at neutral.</translation>
    </message>
    <message>
        <source>Capturer la valeur courante comme repos de l&apos;axe.</source>
        <translation>Capture the current value as the axis&apos;s rest point.</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>Valeur brute atteinte en butee negative.</source>
        <translation>Raw value at the negative end of travel.</translation>
    </message>
    <message>
        <source>Capturer la valeur courante comme minimum de l&apos;axe.</source>
        <translation>Capture the current value as the axis&apos;s minimum.</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>Valeur brute atteinte en butee positive.</source>
        <translation>Raw value at the positive end of travel.</translation>
    </message>
    <message>
        <source>Capturer la valeur courante comme maximum de l&apos;axe.</source>
        <translation>Capture the current value as the axis&apos;s maximum.</translation>
    </message>
    <message>
        <source>Fin</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Valeur brute atteinte quand la gachette est totalement active.</source>
        <translation>Raw value with the trigger fully pressed.</translation>
    </message>
    <message>
        <source>Capturer la valeur courante comme fin de course de la gachette.</source>
        <translation>Capture the current value as the trigger&apos;s end of travel.</translation>
    </message>
    <message>
        <source>Sortie</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>Multiplie la valeur de sortie.</source>
        <translation>Multiplies the output value.</translation>
    </message>
    <message>
        <source>Decale la valeur de sortie.</source>
        <translation>Shifts the output value.</translation>
    </message>
    <message>
        <source>Inverser</source>
        <translation>Invert</translation>
    </message>
    <message>
        <source>Inverse le sens de sortie pour les axes de type stick.</source>
        <translation>Reverses the output direction of stick axes.</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>La manette connectee n&apos;a pas cet axe ; ses reglages restent ceux du fichier.</source>
        <translation>The connected controller has no such axis; its settings stay as the file holds them.</translation>
    </message>
</context>
<context>
    <name>GamepadButtonCalibrationWidget</name>
    <message>
        <source>Afficher ou masquer les reglages de ce bouton.</source>
        <translation>Show or hide this button&apos;s settings.</translation>
    </message>
    <message>
        <source>Signal</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>Actif</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>Active ou bloque tous les signaux de ce bouton.</source>
        <translation>Enables or blocks every signal of this button.</translation>
    </message>
    <message>
        <source>Press</source>
        <translation>Press</translation>
    </message>
    <message>
        <source>Envoie un signal true quand le bouton est appuye.</source>
        <translation>Sends a true signal when the button is pressed.</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>Release</translation>
    </message>
    <message>
        <source>Envoie un signal false quand le bouton est relache.</source>
        <translation>Sends a false signal when the button is released.</translation>
    </message>
    <message>
        <source>Anti-rebond</source>
        <translation>Debounce</translation>
    </message>
    <message>
        <source>Ignore les changements trop proches pour filtrer les rebonds.</source>
        <translation>Ignores changes that come too close together, filtering out contact bounce.</translation>
    </message>
    <message>
        <source>Debounce</source>
        <translation>Debounce</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>Repete le signal true tant que le bouton reste appuye.</source>
        <translation>Repeats the true signal while the button is held down.</translation>
    </message>
    <message>
        <source>Repete le signal false apres le relachement, jusqu&apos;au prochain appui.</source>
        <translation>Repeats the false signal after release, until the next press.</translation>
    </message>
    <message>
        <source>Temps avant le premier repeat.</source>
        <translation>Time before the first repeat.</translation>
    </message>
    <message>
        <source>Temps entre deux repeats.</source>
        <translation>Time between two repeats.</translation>
    </message>
    <message>
        <source>Delai</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>Intervalle</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>inactif</source>
        <translation>disabled</translation>
    </message>
    <message>
        <source>appuye</source>
        <translation>pressed</translation>
    </message>
    <message>
        <source>repos</source>
        <translation>released</translation>
    </message>
    <message>
        <source>La manette connectee n&apos;a pas ce bouton ; ses reglages restent ceux du fichier.</source>
        <translation>The connected controller has no such button; its settings stay as the file holds them.</translation>
    </message>
</context>
<context>
    <name>GamepadCalibration</name>
    <message>
        <source>Le fichier ne contient pas d’objet JSON.</source>
        <translation>The file holds no JSON object.</translation>
    </message>
    <message>
        <source>Fichier trop volumineux (plus de %1 Mio).</source>
        <translation>File too large (over %1 MiB).</translation>
    </message>
    <message>
        <source>Ce n’est pas un fichier ordinaire.</source>
        <translation>Not a regular file.</translation>
    </message>
</context>
<context>
    <name>GamepadConfigWidget</name>
    <message>
        <source>%1 : %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Ajouter une gate circulaire sur une pastille Dual XY.</source>
        <translation>Add a circular gate on a Dual XY marker.</translation>
    </message>
    <message>
        <source>Gates</source>
        <translation>Gates</translation>
    </message>
    <message>
        <source>Declenche des signaux booleens quand un stick entre ou sort d&apos;un cercle.</source>
        <translation>Sends boolean signals when a stick enters or leaves a circle.</translation>
    </message>
    <message>
        <source>Boutons</source>
        <translation>Buttons</translation>
    </message>
    <message>
        <source>Regle quels evenements bouton sont envoyes, avec debounce et repeat.</source>
        <translation>Sets which button events are sent, with debounce and repeat.</translation>
    </message>
    <message>
        <source>Aucun fichier de calibration cible.</source>
        <translation>No target calibration file.</translation>
    </message>
    <message>
        <source>Aucun profil selectionne pour creer un override.</source>
        <translation>No profile selected to create an override for.</translation>
    </message>
    <message>
        <source>Chemin d&apos;override invalide.</source>
        <translation>Invalid override path.</translation>
    </message>
    <message>
        <source>La calibration est appliquee avant l&apos;envoi des valeurs vers ZizoveZudorid.
Quand la manette est deconnectee, les valeurs restent visibles mais les captures live sont bloquees.</source>
        <translation>Calibration is applied before the values are sent to ZizoveZudorid.
While the controller is disconnected, the values stay visible but live captures are blocked.</translation>
    </message>
    <message>
        <source>Calibration entrees</source>
        <translation>Input calibration</translation>
    </message>
    <message>
        <source>Transforme les axes et filtre les evenements boutons avant l&apos;envoi aux actions.</source>
        <translation>Transforms the axes and filters button events before they reach the actions.</translation>
    </message>
    <message>
        <source>Base</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Base globale partagee par les profils qui utilisent cette manette.</source>
        <translation>Global base shared by the profiles that use this controller.</translation>
    </message>
    <message>
        <source>Profil</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>Override stocke dans le dossier du profil courant.</source>
        <translation>Override stored in the current profile&apos;s folder.</translation>
    </message>
    <message>
        <source>Cible editee:
Base: calibration globale de cette manette.
Profil: override uniquement pour le profil selectionne.</source>
        <translation>Edited target:
Base: this controller&apos;s global calibration.
Profile: override for the selected profile only.</translation>
    </message>
    <message>
        <source>Capturer le repos de tous les axes.
Utilise la position actuelle comme neutre.</source>
        <translation>Capture the rest point of every axis.
Uses the current position as neutral.</translation>
    </message>
    <message>
        <source>Reinitialiser la calibration affichee.</source>
        <translation>Reset the calibration shown.</translation>
    </message>
    <message>
        <source>Copier la base manette vers un override du profil.</source>
        <translation>Copy the controller&apos;s base into a profile override.</translation>
    </message>
    <message>
        <source>Supprimer l&apos;override du profil et revenir a la base manette.</source>
        <translation>Delete the profile&apos;s override and go back to the controller&apos;s base.</translation>
    </message>
    <message>
        <source>Profil gamepad selectionne.
Un override profil est sauvegarde dans le dossier de ce profil.</source>
        <translation>Selected gamepad profile.
A profile override is saved in this profile&apos;s folder.</translation>
    </message>
    <message>
        <source>Identite utilisee pour retrouver la calibration de base.
La base est indexee par VID, PID et nom de manette.</source>
        <translation>Identity used to find the base calibration.
The base is keyed by VID, PID and controller name.</translation>
    </message>
    <message>
        <source>Source actuellement chargee par le runtime:
Defaut: aucune calibration trouvee.
Base: calibration globale de la manette.
Profil: override du profil courant.</source>
        <translation>Source currently loaded by the runtime:
Default: no calibration found.
Base: the controller&apos;s global calibration.
Profile: the current profile&apos;s override.</translation>
    </message>
    <message>
        <source>Profil sans nom</source>
        <translation>Unnamed profile</translation>
    </message>
    <message>
        <source>Aucun profil selectionne</source>
        <translation>No profile selected</translation>
    </message>
    <message>
        <source>Profil: %1</source>
        <translation>Profile: %1</translation>
    </message>
    <message>
        <source>Aucune manette liee</source>
        <translation>No linked controller</translation>
    </message>
    <message>
        <source>connectee</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>deconnectee</source>
        <translation>disconnected</translation>
    </message>
    <message>
        <source>Defaut</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Source: %1</source>
        <translation>Source: %1</translation>
    </message>
    <message>
        <source>Pret</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Profil requis pour override</source>
        <translation>Profile needed for an override</translation>
    </message>
    <message>
        <source>Deconnectee: captures off</source>
        <translation>Disconnected: captures off</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Réinitialiser la calibration propre au profil « %1 » ?
Seul ce profil est concerné.</source>
        <translation>Reset the calibration of profile “%1”?
Only this profile is affected.</translation>
    </message>
    <message>
        <source>Réinitialiser la calibration de base de « %1 » ?
Tous les profils de cette manette qui suivent sa calibration de base sont concernés.</source>
        <translation>Reset the base calibration of “%1”?
Every profile of this controller that follows its base calibration is affected.</translation>
    </message>
    <message>
        <source>cette manette</source>
        <translation>this controller</translation>
    </message>
    <message>
        <source>Remplacer la calibration propre au profil « %1 » par la calibration de base de la manette ?</source>
        <translation>Replace the calibration of profile “%1” with the controller’s base calibration?</translation>
    </message>
    <message>
        <source>Supprimer la calibration propre au profil « %1 » ?
Le profil reprendra la calibration de base de la manette.</source>
        <translation>Delete the calibration of profile “%1”?
The profile will go back to the controller’s base calibration.</translation>
    </message>
    <message>
        <source>Aucun fichier de calibration à éditer</source>
        <translation>No calibration file to edit</translation>
    </message>
    <message>
        <source>Édite %1 : la calibration propre à la définition « %2 », elle seule</source>
        <translation>Edits %1: the calibration of definition “%2” only</translation>
    </message>
    <message>
        <source>Édite %1 : la calibration de base de la manette, pour toutes ses définitions</source>
        <translation>Edits %1: the controller’s base calibration, for all its definitions</translation>
    </message>
    <message>
        <source>Calibration guidée non appliquée : la calibration éditée a changé entre-temps.</source>
        <translation>Guided calibration not applied: the calibration being edited changed in the meantime.</translation>
    </message>
    <message>
        <source>Calibration guidée…</source>
        <translation>Guided calibration…</translation>
    </message>
    <message>
        <source>Mesure le repos, le bruit, les butées et les gâchettes de la manette branchée, puis propose les valeurs avant de les enregistrer.</source>
        <translation>Measures the rest, noise, ends and triggers of the connected controller, then proposes the values before saving them.</translation>
    </message>
</context>
<context>
    <name>GamepadDefinder</name>
    <message>
        <source>Images</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>Impossible de preparer une configuration locale : %1</source>
        <translation>Cannot prepare a local configuration: %1</translation>
    </message>
    <message>
        <source>Impossible de recharger le profil apres copie.</source>
        <translation>Cannot reload the profile after copying it.</translation>
    </message>
    <message>
        <source>Association manette</source>
        <translation>Link a controller</translation>
    </message>
    <message>
        <source>Aucune manette connectée n&apos;est disponible.
Vous pouvez créer un profil sans liaison et l’associer plus tard.</source>
        <translation>No connected controller is available.
You can create an unlinked profile and link it later.</translation>
    </message>
    <message>
        <source>Choisir la manette à lier :</source>
        <translation>Choose the controller to link:</translation>
    </message>
    <message>
        <source>Nouveau gamepad</source>
        <translation>New gamepad</translation>
    </message>
    <message>
        <source>Nom du gamepad :</source>
        <translation>Gamepad name:</translation>
    </message>
    <message>
        <source>Choisir l’image du gamepad</source>
        <translation>Choose the gamepad&apos;s picture</translation>
    </message>
    <message>
        <source>Création</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Aucun dossier utilisateur n&apos;est disponible pour ce profil.</source>
        <translation>No user folder is available for this profile.</translation>
    </message>
    <message>
        <source>Impossible d’écrire la configuration par défaut : %1</source>
        <translation>Cannot write the default configuration: %1</translation>
    </message>
    <message>
        <source>Impossible d’écrire meta.json : %1</source>
        <translation>Cannot write meta.json: %1</translation>
    </message>
    <message>
        <source>Creation</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Echec ecriture mapping : %1</source>
        <translation>Writing the mapping failed: %1</translation>
    </message>
    <message>
        <source>Sauvegarde</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Échec sauvegarde config : %1</source>
        <translation>Saving the configuration failed: %1</translation>
    </message>
    <message>
        <source>Echec sauvegarde mapping.</source>
        <translation>Saving the mapping failed.</translation>
    </message>
    <message>
        <source>Échec sauvegarde meta : %1</source>
        <translation>Saving meta.json failed: %1</translation>
    </message>
    <message>
        <source>Dupliquer</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>Aucun dossier utilisateur n&apos;est disponible pour cette copie.</source>
        <translation>No user folder is available for this copy.</translation>
    </message>
    <message>
        <source>Impossible de copier la configuration.</source>
        <translation>Cannot copy the configuration.</translation>
    </message>
    <message>
        <source>Echec copie mapping : %1</source>
        <translation>Copying the mapping failed: %1</translation>
    </message>
    <message>
        <source>Impossible de copier la calibration du profil.</source>
        <translation>Cannot copy the profile&apos;s calibration.</translation>
    </message>
    <message>
        <source> (copie)</source>
        <translation> (copy)</translation>
    </message>
    <message>
        <source>Supprimer</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Seul un admin peut supprimer un profil partage.</source>
        <translation>Only an administrator can delete a shared profile.</translation>
    </message>
    <message>
        <source>Supprimer « %1 » ?</source>
        <translation>Delete “%1”?</translation>
    </message>
    <message>
        <source>Impossible de supprimer le dossier %1.</source>
        <translation>Cannot delete the folder %1.</translation>
    </message>
    <message>
        <source>Renommer</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Nouveau nom :</source>
        <translation>New name:</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>Choisir une nouvelle image</source>
        <translation>Choose a new picture</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Mapping</source>
        <translation>Mapping</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Ajouter une manette...</source>
        <translation>Add a controller...</translation>
    </message>
    <message>
        <source>Manettes liees au profil courant</source>
        <translation>Controllers linked to the current profile</translation>
    </message>
    <message>
        <source>+ Joy</source>
        <translation>+ Joy</translation>
    </message>
    <message>
        <source>+ Dual XY</source>
        <translation>+ Dual XY</translation>
    </message>
    <message>
        <source>+ Btn</source>
        <translation>+ Btn</translation>
    </message>
    <message>
        <source>Selectionnez un element sur l&apos;image.</source>
        <translation>Select an element on the picture.</translation>
    </message>
    <message>
        <source>Nom</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Actions disponibles</source>
        <translation>Available actions</translation>
    </message>
    <message>
        <source>Cliquez une action puis appuyez sur un bouton ou bougez un axe.</source>
        <translation>Click an action, then press a button or move an axis.</translation>
    </message>
    <message>
        <source>Hors repos: reemet tant que le joystick n&apos;est pas revenu a 0 / 0,0. Le retour a zero est emis une fois.</source>
        <translation>Off rest: sent again until the joystick is back at 0 / 0,0. The return to zero is sent once.</translation>
    </message>
    <message>
        <source>Type : Joy</source>
        <translation>Type: Joy</translation>
    </message>
    <message>
        <source>Type : Double Joy X/Y</source>
        <translation>Type: Double Joy X/Y</translation>
    </message>
    <message>
        <source>Type : Button</source>
        <translation>Type: Button</translation>
    </message>
    <message>
        <source>Split X / Y</source>
        <translation>Split X / Y</translation>
    </message>
    <message>
        <source>Envoi</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Sur changement</source>
        <translation>On change</translation>
    </message>
    <message>
        <source>En continu hors repos</source>
        <translation>Continuously off rest</translation>
    </message>
    <message>
        <source>Toujours</source>
        <translation>Always</translation>
    </message>
    <message>
        <source>Joy %1/%2</source>
        <translation>Joy %1/%2</translation>
    </message>
    <message>
        <source>Gate %1</source>
        <translation>Gate %1</translation>
    </message>
    <message>
        <source>Aucune source</source>
        <translation>No source</translation>
    </message>
    <message>
        <source>Learn %1</source>
        <translation>Learn %1</translation>
    </message>
    <message>
        <source>Learn</source>
        <translation>Learn</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Manettes : %1</source>
        <translation>Controllers: %1</translation>
    </message>
    <message>
        <source>Profil personnel</source>
        <translation>Personal profile</translation>
    </message>
    <message>
        <source>Profil partage</source>
        <translation>Shared profile</translation>
    </message>
    <message>
        <source>Chargement</source>
        <translation>Loading</translation>
    </message>
    <message>
        <source>Impossible de charger la configuration : %1</source>
        <translation>Cannot load the configuration: %1</translation>
    </message>
    <message>
        <source>Format de configuration non reconnu.</source>
        <translation>Unrecognised configuration format.</translation>
    </message>
    <message>
        <source>Nouveau…</source>
        <translation>New…</translation>
    </message>
    <message>
        <source>Importer…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>Copier</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Coller</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Renommer…</source>
        <translation>Rename…</translation>
    </message>
    <message>
        <source>Changer l’image…</source>
        <translation>Change picture…</translation>
    </message>
    <message>
        <source>Exporter…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Snapshot PNG…</source>
        <translation>PNG snapshot…</translation>
    </message>
    <message>
        <source>Snapshots PNG (tous)</source>
        <translation>PNG snapshots (all)</translation>
    </message>
    <message>
        <source>Aucune pastille n&apos;est liee a &quot;%1&quot; pour &quot;%2&quot;.</source>
        <translation>No marker is bound to &quot;%1&quot; for &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Aucune pastille n&apos;est liée à &quot;%1&quot; pour &quot;%2&quot;.</source>
        <translation>No marker is bound to &quot;%1&quot; for &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Sans groupe</source>
        <translation>Ungrouped</translation>
    </message>
    <message>
        <source>Aucune action</source>
        <translation>No action</translation>
    </message>
    <message>
        <source>ID: %1</source>
        <translation>ID: %1</translation>
    </message>
    <message>
        <source>Passez en mode Mapping pour affecter rapidement une action.</source>
        <translation>Switch to Mapping mode to assign an action quickly.</translation>
    </message>
    <message>
        <source>Connectez la manette pour utiliser le mapping rapide.</source>
        <translation>Connect the controller to use quick mapping.</translation>
    </message>
    <message>
        <source>Appuyez sur un bouton ou bougez un axe pour mapper &quot;%1&quot;.</source>
        <translation>Press a button or move an axis to map &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Impossible d’ouvrir %1</source>
        <translation>Cannot open %1</translation>
    </message>
    <message>
        <source>JSON invalide dans %1 (%2)</source>
        <translation>Invalid JSON in %1 (%2)</translation>
    </message>
    <message>
        <source>Impossible d’écrire %1</source>
        <translation>Cannot write %1</translation>
    </message>
    <message>
        <source>Écriture incomplète dans %1</source>
        <translation>Incomplete write to %1</translation>
    </message>
    <message>
        <source>Impossible de valider l’écriture de %1 (%2)</source>
        <translation>Cannot commit the write of %1 (%2)</translation>
    </message>
    <message>
        <source>le document n’est pas un objet</source>
        <translation>the document is not an object</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Exporter le gamepad</source>
        <translation>Export the gamepad</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Ce profil est associé à une ou plusieurs manettes. Le copier/coller n’est disponible que pour les profils non liés.</source>
        <translation>This profile is linked to one or more controllers. Copy and paste are only available for unlinked profiles.</translation>
    </message>
    <message>
        <source>Échec export : %1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <source>Importer un gamepad</source>
        <translation>Import a gamepad</translation>
    </message>
    <message>
        <source>Impossible d’importer ce fichier.</source>
        <translation>Cannot import this file.</translation>
    </message>
    <message>
        <source>Ce fichier est lié à une ou plusieurs manettes. Le coller/importe n’est autorisé que pour des profils non liés.</source>
        <translation>This file is linked to one or more controllers. Paste and import are only allowed for unlinked profiles.</translation>
    </message>
    <message>
        <source>Ce profil est associé à « %1 ». Le copier/coller est réservé aux profils non liés.</source>
        <translation>This profile is linked to “%1”. Copy and paste are reserved for unlinked profiles.</translation>
    </message>
    <message>
        <source>Impossible de créer le gamepad à partir des données.</source>
        <translation>Cannot create the gamepad from the data.</translation>
    </message>
    <message>
        <source>Le presse‑papier ne contient pas de configuration Tavon valide.</source>
        <translation>The clipboard holds no valid Tavon configuration.</translation>
    </message>
    <message>
        <source>Aucune configuration Tavon trouvée dans le presse‑papier.</source>
        <translation>No Tavon configuration found on the clipboard.</translation>
    </message>
    <message>
        <source>Ce profil est lié à une ou plusieurs manettes. Le coller n’est autorisé que pour des profils non liés.</source>
        <translation>This profile is linked to one or more controllers. Paste is only allowed for unlinked profiles.</translation>
    </message>
    <message>
        <source>Exporter snapshot PNG</source>
        <translation>Export PNG snapshot</translation>
    </message>
    <message>
        <source>Images PNG (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>Snapshot PNG</source>
        <translation>PNG snapshot</translation>
    </message>
    <message>
        <source>Impossible de générer le snapshot : %1</source>
        <translation>Cannot render the snapshot: %1</translation>
    </message>
    <message>
        <source>Échec sauvegarde PNG : %1</source>
        <translation>Saving the PNG failed: %1</translation>
    </message>
    <message>
        <source>Dossier de sortie vide.</source>
        <translation>Empty output folder.</translation>
    </message>
    <message>
        <source>Impossible de sauvegarder la configuration en cours.</source>
        <translation>Cannot save the current configuration.</translation>
    </message>
    <message>
        <source>Choisir un dossier pour les snapshots</source>
        <translation>Choose a folder for the snapshots</translation>
    </message>
    <message>
        <source>Snapshots PNG</source>
        <translation>PNG snapshots</translation>
    </message>
    <message>
        <source>Impossible de générer les snapshots.</source>
        <translation>Cannot render the snapshots.</translation>
    </message>
    <message>
        <source>Snapshots générés : %1</source>
        <translation>Snapshots written: %1</translation>
    </message>
    <message>
        <source>Snapshots générés : %1
Erreurs :
%2</source>
        <translation>Snapshots written: %1
Errors:
%2</translation>
    </message>
    <message>
        <source>La calibration modifiée n&apos;a pas pu être enregistrée : %1</source>
        <translation>The changed calibration could not be saved: %1</translation>
    </message>
    <message>
        <source>Profil introuvable.</source>
        <translation>Profile not found.</translation>
    </message>
    <message>
        <source>Ajouter une pastille</source>
        <translation>Add a marker</translation>
    </message>
    <message>
        <source>La configuration de « %1 » n&apos;a pas pu être lue.
Ajouter une pastille remplacera le fichier %2 par une nouvelle configuration. Continuer ?</source>
        <translation>The configuration of “%1” could not be read.
Adding a marker will replace the file %2 with a new configuration. Continue?</translation>
    </message>
    <message>
        <source>Fichier trop volumineux : %1 (plus de %2 Mio)</source>
        <translation>File too large: %1 (over %2 MiB)</translation>
    </message>
    <message>
        <source>Appuyez sur un bouton ou bougez un axe de la manette… (Échap pour annuler)</source>
        <translation>Press a button or move an axis on the controller… (Escape cancels)</translation>
    </message>
    <message>
        <source>Écoute…</source>
        <translation>Listening…</translation>
    </message>
    <message>
        <source>Écoute la manette : Échap ou un nouveau clic annule</source>
        <translation>Listening to the controller: Escape or another click cancels</translation>
    </message>
    <message>
        <source>Prendre l’entrée de ce slot sur la manette</source>
        <translation>Take this slot’s input from the controller</translation>
    </message>
    <message>
        <source>« %1 » affectée à %2.</source>
        <translation>“%1” bound to %2.</translation>
    </message>
    <message>
        <source>Liez une manette à cette définition (barre du haut) pour utiliser le mapping rapide.</source>
        <translation>Link a controller to this definition (top bar) to use quick mapping.</translation>
    </message>
</context>
<context>
    <name>GamepadGateCalibrationWidget</name>
    <message>
        <source>Capturer le centre depuis la position live du stick.</source>
        <translation>Capture the centre from the stick&apos;s live position.</translation>
    </message>
    <message>
        <source>Supprimer cette gate.</source>
        <translation>Delete this gate.</translation>
    </message>
    <message>
        <source>Les deux</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>Front montant</source>
        <translation>Rising edge</translation>
    </message>
    <message>
        <source>Front descendant</source>
        <translation>Falling edge</translation>
    </message>
    <message>
        <source>Inverser</source>
        <translation>Invert</translation>
    </message>
    <message>
        <source>Pastille</source>
        <translation>Marker</translation>
    </message>
    <message>
        <source>Centre X</source>
        <translation>Centre X</translation>
    </message>
    <message>
        <source>Centre Y</source>
        <translation>Centre Y</translation>
    </message>
    <message>
        <source>Rayon</source>
        <translation>Radius</translation>
    </message>
    <message>
        <source>Hysteresis</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>Source technique : %1
X : %2
Y : %3</source>
        <translation>Technical source: %1
X: %2
Y: %3</translation>
    </message>
    <message>
        <source>Source historique sans pastille
X : %1
Y : %2</source>
        <translation>Legacy source without a marker
X: %1
Y: %2</translation>
    </message>
    <message>
        <source>dedans</source>
        <translation>inside</translation>
    </message>
    <message>
        <source>dehors</source>
        <translation>outside</translation>
    </message>
</context>
<context>
    <name>GamepadProfiles</name>
    <message>
        <source>Profil introuvable.</source>
        <translation>Profile not found.</translation>
    </message>
    <message>
        <source>Aucun dossier de configuration disponible pour cet utilisateur.</source>
        <translation>No configuration folder is available for this user.</translation>
    </message>
    <message>
        <source>Impossible de preparer le dossier %1</source>
        <translation>Cannot prepare the folder %1</translation>
    </message>
    <message>
        <source>Identifiant de profil invalide.</source>
        <translation>Invalid profile identifier.</translation>
    </message>
    <message>
        <source>Impossible de copier le profil vers %1</source>
        <translation>Cannot copy the profile to %1</translation>
    </message>
</context>
<context>
    <name>GuidedCalibrationDialog</name>
    <message>
        <source>Calibration guidée</source>
        <translation>Guided calibration</translation>
    </message>
    <message>
        <source>Appliquer enregistre dans : %1</source>
        <translation>Apply saves to: %1</translation>
    </message>
    <message>
        <source>Suivant</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Axe</source>
        <translation>Axis</translation>
    </message>
    <message>
        <source>Repos</source>
        <translation>Rest</translation>
    </message>
    <message>
        <source>Bruit</source>
        <translation>Noise</translation>
    </message>
    <message>
        <source>Zone morte proposée</source>
        <translation>Suggested dead zone</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>La manette a été déconnectée : la calibration guidée est interrompue, rien n&apos;a été modifié.</source>
        <translation>The controller was disconnected: the guided calibration stopped and nothing was changed.</translation>
    </message>
    <message>
        <source>Appliquer</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>1 / 4 · Lâchez tout</source>
        <translation>1 / 4 · Let go of everything</translation>
    </message>
    <message>
        <source>Ne touchez ni aux sticks ni aux gâchettes pendant deux secondes : le repos et le bruit de chaque axe sont mesurés.</source>
        <translation>Do not touch the sticks or triggers for two seconds: the rest and noise of every axis are measured.</translation>
    </message>
    <message>
        <source>Mesure terminée.</source>
        <translation>Measurement done.</translation>
    </message>
    <message>
        <source>Mesure en cours…</source>
        <translation>Measuring…</translation>
    </message>
    <message>
        <source>2 / 4 · Sticks en butée</source>
        <translation>2 / 4 · Sticks to their ends</translation>
    </message>
    <message>
        <source>Poussez chaque stick jusqu&apos;en butée et faites-lui faire plusieurs tours complets, lentement.</source>
        <translation>Push each stick to its end and turn it round slowly, several times.</translation>
    </message>
    <message>
        <source>%1 : %2 secteurs sur %3</source>
        <translation>%1: %2 of %3 sectors</translation>
    </message>
    <message>
        <source>%1 : circularité %2 %</source>
        <translation>%1: circularity %2 %</translation>
    </message>
    <message>
        <source>3 / 4 · Gâchettes</source>
        <translation>3 / 4 · Triggers</translation>
    </message>
    <message>
        <source>Enfoncez chaque gâchette jusqu&apos;au bout, puis relâchez-la.</source>
        <translation>Press each trigger fully, then release it.</translation>
    </message>
    <message>
        <source>%1 : gâchette détectée (repos %2, enfoncée %3)</source>
        <translation>%1: trigger detected (rest %2, pressed %3)</translation>
    </message>
    <message>
        <source>%1 : repose en butée (%2), enfoncez-la à fond</source>
        <translation>%1: rests at an end (%2), press it fully</translation>
    </message>
    <message>
        <source>Aucun axe ne repose en butée : cette manette n&apos;a pas de gâchette analogique.</source>
        <translation>No axis rests at an end: this controller has no analog trigger.</translation>
    </message>
    <message>
        <source>4 / 4 · Résumé</source>
        <translation>4 / 4 · Summary</translation>
    </message>
    <message>
        <source>Les valeurs mesurées, avant et après. Appliquer les enregistre en une fois ; Annuler ne change rien.</source>
        <translation>The measured values, before and after. Apply saves them at once; Cancel changes nothing.</translation>
    </message>
    <message>
        <source>Zone morte</source>
        <translation>Dead zone</translation>
    </message>
    <message>
        <source>Course</source>
        <translation>Travel</translation>
    </message>
    <message>
        <source>gâchette, enfoncée %1</source>
        <translation>trigger, pressed %1</translation>
    </message>
</context>
<context>
    <name>ImageStore</name>
    <message>
        <source>Impossible de copier l’image %1 vers %2</source>
        <translation>Cannot copy the picture %1 to %2</translation>
    </message>
    <message>
        <source>Échec écriture image %1 (%2)</source>
        <translation>Writing the picture %1 failed (%2)</translation>
    </message>
</context>
<context>
    <name>InteractiveOverlay</name>
    <message>
        <source>%1 copie</source>
        <translation>%1 copy</translation>
    </message>
    <message>
        <source>Joy %1/%2</source>
        <translation>Joy %1/%2</translation>
    </message>
    <message>
        <source>Ajouter un joy</source>
        <translation>Add a joy</translation>
    </message>
    <message>
        <source>Ajouter un double joy X/Y</source>
        <translation>Add a double joy X/Y</translation>
    </message>
    <message>
        <source>Ajouter un bouton</source>
        <translation>Add a button</translation>
    </message>
    <message>
        <source>Renommer...</source>
        <translation>Rename...</translation>
    </message>
    <message>
        <source>Dupliquer</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>Supprimer</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Axe X</source>
        <translation>X axis</translation>
    </message>
    <message>
        <source>Axe Y</source>
        <translation>Y axis</translation>
    </message>
    <message>
        <source>Bouton</source>
        <translation>Button</translation>
    </message>
    <message>
        <source>Joystick</source>
        <translation>Joystick</translation>
    </message>
    <message>
        <source>Double Joy %1</source>
        <translation>Double Joy %1</translation>
    </message>
    <message>
        <source>Bouton %1</source>
        <translation>Button %1</translation>
    </message>
    <message>
        <source>Joy %1</source>
        <translation>Joy %1</translation>
    </message>
</context>
<context>
    <name>LibraryListDelegate</name>
    <message>
        <source>personnel</source>
        <translation>own</translation>
    </message>
    <message>
        <source>partagé</source>
        <translation>shared</translation>
    </message>
</context>
<context>
    <name>LinkerDeviceModel</name>
    <message>
        <source>Gamepad detected</source>
        <translation>Gamepad detected</translation>
    </message>
    <message>
        <source>%1 (%2) is now available.</source>
        <translation>%1 (%2) is now available.</translation>
    </message>
    <message>
        <source>Gamepad removed</source>
        <translation>Gamepad removed</translation>
    </message>
    <message>
        <source>%1 (%2) is no longer available.</source>
        <translation>%1 (%2) is no longer available.</translation>
    </message>
    <message>
        <source>Selected gamepad disconnected</source>
        <translation>Selected gamepad disconnected</translation>
    </message>
    <message>
        <source>Gamepad connected</source>
        <translation>Gamepad connected</translation>
    </message>
    <message>
        <source>%1 (%2) is connected.</source>
        <translation>%1 (%2) is connected.</translation>
    </message>
    <message>
        <source>Gamepad connection lost</source>
        <translation>Gamepad connection lost</translation>
    </message>
    <message>
        <source>%1 (%2) is no longer responding.</source>
        <translation>%1 (%2) is no longer responding.</translation>
    </message>
</context>
<context>
    <name>Snapshots</name>
    <message>
        <source>Overlay vide.</source>
        <translation>Empty overlay.</translation>
    </message>
    <message>
        <source>Snapshot trop grand : %1 x %2</source>
        <translation>Snapshot too large: %1 x %2</translation>
    </message>
    <message>
        <source>Format de configuration non reconnu.</source>
        <translation>Unrecognised configuration format.</translation>
    </message>
    <message>
        <source>Dossier de sortie vide.</source>
        <translation>Empty output folder.</translation>
    </message>
    <message>
        <source>Impossible de créer le dossier : %1</source>
        <translation>Cannot create the folder: %1</translation>
    </message>
    <message>
        <source>Échec sauvegarde PNG</source>
        <translation>Saving the PNG failed</translation>
    </message>
</context>
<context>
    <name>Snapshots::BatchProgress</name>
    <message>
        <source>Génération des snapshots…</source>
        <translation>Rendering the snapshots…</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Snapshots PNG</source>
        <translation>PNG snapshots</translation>
    </message>
    <message>
        <source>Snapshot %1 sur %2…</source>
        <translation>Snapshot %1 of %2…</translation>
    </message>
</context>
<context>
    <name>TagSelectionBar</name>
    <message>
        <source>Manettes liées</source>
        <translation>Linked controllers</translation>
    </message>
    <message>
        <source>Ajouter une manette...</source>
        <translation>Add a controller...</translation>
    </message>
    <message>
        <source>Ajouter une manette</source>
        <translation>Add a controller</translation>
    </message>
    <message>
        <source>Manettes disponibles</source>
        <translation>Available controllers</translation>
    </message>
    <message>
        <source>%1 (non connectée)</source>
        <translation>%1 (not connected)</translation>
    </message>
    <message>
        <source>Manette non connectee</source>
        <translation>Controller not connected</translation>
    </message>
    <message>
        <source>Retirer %1</source>
        <translation>Remove %1</translation>
    </message>
</context>
<context>
    <name>TouchArea</name>
    <message>
        <source>Renommer l&apos;element</source>
        <translation>Rename the element</translation>
    </message>
    <message>
        <source>Nom :</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Element</source>
        <translation>Element</translation>
    </message>
    <message>
        <source>Renommer...</source>
        <translation>Rename...</translation>
    </message>
    <message>
        <source>Dupliquer</source>
        <translation>Duplicate</translation>
    </message>
    <message>
        <source>Supprimer</source>
        <translation>Delete</translation>
    </message>
</context>
</TS>
